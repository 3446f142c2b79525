#include "ui/MapCheckWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/MapCheckReport.h"
#include "base/Language.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

enum Column { kSeverityColumn, kPlaceColumn, kTextColumn };

constexpr int kWidestPlace = 220;

// Sorts severities by weight (errors first), places by file and then line
// number, so that line 9 comes before line 10.
class FindingItem : public QTreeWidgetItem {
public:
    FindingItem(const MapFinding& finding, const LanguageTable& language)
        : severity_(static_cast<int>(finding.severity)), file_(FromUtf8(finding.file)), line_(finding.line) {
        setText(kSeverityColumn, FromUtf8(SeverityText(finding.severity, language)));
        setText(kPlaceColumn, FromUtf8(FindingPlace(finding, language)));
        setText(kTextColumn, FromUtf8(FindingSentence(finding, language)));
        setToolTip(kTextColumn, text(kTextColumn) + " [" + FromUtf8(finding.code) + "]");
    }

    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* item = dynamic_cast<const FindingItem*>(&other);
        if (!item) return QTreeWidgetItem::operator<(other);
        switch (treeWidget() ? treeWidget()->sortColumn() : kSeverityColumn) {
            case kSeverityColumn:
                return std::tie(severity_, file_, line_) < std::tie(item->severity_, item->file_, item->line_);
            case kPlaceColumn:
                return std::tie(file_, line_, severity_) < std::tie(item->file_, item->line_, item->severity_);
            default:
                return QTreeWidgetItem::operator<(other);
        }
    }

private:
    int severity_;
    QString file_;
    int line_;
};

// Gives the finding column's rows the height their wrapped text needs at
// the column's width.
class WrappingDelegate : public QStyledItemDelegate {
public:
    explicit WrappingDelegate(QTreeWidget* tree) : QStyledItemDelegate(tree), tree_(tree) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (index.column() != kTextColumn) return size;
        int width = std::max(tree_->columnWidth(kTextColumn) - 8, 40);
        QRect text = option.fontMetrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap,
                                                     index.data(Qt::DisplayRole).toString());
        return {size.width(), std::max(size.height(), text.height() + 6)};
    }

private:
    QTreeWidget* tree_;
};

}  // namespace

MapCheckWindow::MapCheckWindow(std::vector<MapFinding> findings, const LanguageTable& language, QWidget* parent)
    : QDialog(parent), text_(FromUtf8(FindingsText(findings, language))) {
    setObjectName("mapCheckWindow");
    setWindowTitle(LangText(language, "CheckWindowTitle"));
    list_ = new QTreeWidget(this);
    list_->setObjectName("findingsList");
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({LangText(language, "CheckSeverity"), LangText(language, "CheckPlace"),
                            LangText(language, "CheckFinding")});
    for (const auto& finding : findings) list_->addTopLevelItem(new FindingItem(finding, language));
    list_->setSortingEnabled(true);
    list_->sortByColumn(kSeverityColumn, Qt::AscendingOrder);
    // The finding takes the width left and wraps: its whole text shows. A
    // long place (a file name) is cut, and can be widened by hand.
    list_->header()->setSectionResizeMode(kSeverityColumn, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(kPlaceColumn, QHeaderView::Interactive);
    list_->header()->setStretchLastSection(true);
    list_->resizeColumnToContents(kPlaceColumn);
    list_->setColumnWidth(kPlaceColumn, std::min(list_->columnWidth(kPlaceColumn), kWidestPlace));
    list_->setWordWrap(true);
    list_->setTextElideMode(Qt::ElideNone);
    list_->setItemDelegate(new WrappingDelegate(list_));
    // Rows take their height from the text column's width: lay them out again
    // when it changes.
    connect(list_->header(), &QHeaderView::sectionResized, list_, [this] { list_->doItemsLayout(); });

    auto* copy = new QPushButton(LangText(language, "CheckCopy"), this);
    copy->setObjectName("copyButton");
    auto* close = new QPushButton(LangText(language, "OK"), this);
    close->setObjectName("closeButton");
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text_); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(760, 420);
}

QString FindingsSummary(const std::vector<MapFinding>& findings, const LanguageTable& language) {
    FindingCounts counts = CountFindings(findings);
    if (counts.errors + counts.warnings + counts.notes == 0) return LangText(language, "CheckNoFindings");
    return FromUtf8(FillPlaceholders(language.Lang("CheckSummary"),
                                     {std::to_string(counts.errors), std::to_string(counts.warnings)}));
}

}  // namespace tak::ui
