#include "ui/SpiderChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <utility>

#include "app/AppContext.h"
#include "project/PlanEditing.h"
#include "ui/RouteSpiderWindow.h"
#include "ui/WindowEx.h"

namespace tak::ui {

SpiderChooserPanel::SpiderChooserPanel(AppContext& context, Dialogs& dialogs, QWidget* host, const QString& caption)
    : QWidget(host), context_(context), dialogs_(dialogs), host_(host) {
    setObjectName("spiderChooser");
    box_ = NewBox(this, "spiderBox", caption);
    list_ = NewChooser(this, "spiderList");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box_);
    layout->addWidget(list_, 1);
    connect(box_, &QCheckBox::toggled, this, &SpiderChooserPanel::OnSwitchToggled);
    connect(list_, &QComboBox::activated, this, &SpiderChooserPanel::OnChosen);
    Fill();
    SetEnabledStates();
}

void SpiderChooserPanel::Show(SpiderFieldLookup lookup) {
    fieldOf_ = std::move(lookup);
    ShowSpider();
}

void SpiderChooserPanel::Fill() {
    showing_ = true;
    list_->clear();
    list_->addItem(LangText(context_.language, "Editor") + "...", static_cast<uint>(kNoSpider));
    for (const RouteSpider& spider : context_.project.routeSpiders.spiders) {
        list_->addItem(FromUtf8(spider.name), static_cast<uint>(spider.key));
    }
    showing_ = false;
}

// The check box tells whether the plan has a spider; the list shows it, or
// the first spider, which checking the box would choose.
void SpiderChooserPanel::ShowSpider() {
    const RouteSpiderKey* field = Field();
    const RouteSpider* spider = field ? FindRouteSpider(context_.project.routeSpiders, *field) : nullptr;
    showing_ = true;
    box_->setChecked(spider != nullptr);
    int index = spider ? list_->findData(static_cast<uint>(spider->key)) : -1;
    if (index < 0 && list_->count() > 1) index = 1;
    list_->setCurrentIndex(index);
    showing_ = false;
    SetEnabledStates();
}

void SpiderChooserPanel::SetEnabledStates() {
    bool shown = Field() != nullptr;
    box_->setEnabled(shown);
    list_->setEnabled(shown && box_->isChecked());
}

void SpiderChooserPanel::OnSwitchToggled(bool on) {
    RouteSpiderKey* field = Field();
    if (showing_ || field == nullptr) return;
    int index = list_->currentIndex();
    if (on && index <= 0 && list_->count() > 1) {
        index = 1;
        list_->setCurrentIndex(index);
    }
    *field = on && index > 0 ? list_->itemData(index).toUInt() : kNoSpider;
    SetEnabledStates();
    emit Changed();
}

// The first entry opens the editor; the plan keeps its spider.
void SpiderChooserPanel::OnChosen(int index) {
    RouteSpiderKey* field = Field();
    if (showing_ || field == nullptr) return;
    if (index == 0) {
        // A ticked box asks for a spider: the one made in the editor.
        if (box_->isChecked() && *field == kNoSpider) {
            keysBefore_ = SpiderKeys(context_.project.routeSpiders);
        } else {
            ShowSpider();
        }
        OpenEditor();
        return;
    }
    RouteSpiderKey key = list_->itemData(index).toUInt();
    if (!box_->isChecked() || key == *field) return;
    *field = key;
    emit Changed();
}

// The box was ticked while there was no spider to choose: the plan takes
// the spider made in the editor.
void SpiderChooserPanel::TakeSpiderForTickedBox() {
    std::optional<std::vector<RouteSpiderKey>> before = std::move(keysBefore_);
    keysBefore_.reset();
    RouteSpiderKey* field = Field();
    if (!before || field == nullptr || *field != kNoSpider) return;
    *field = SpiderForTickedBox(context_.project.routeSpiders, *before);
    if (*field != kNoSpider) emit Changed();
}

void SpiderChooserPanel::OpenEditor() {
    if (editor_ != nullptr) return;
    editor_ = new RouteSpiderWindow(context_, dialogs_, host_);
    connect(editor_, &RouteSpiderWindow::Closed, this, &SpiderChooserPanel::OnEditorClosed);
    host_->setEnabled(false);
    editor_->show();
}

// The editor saved or reloaded the spiders: names and keys may differ now.
void SpiderChooserPanel::OnEditorClosed() {
    editor_->deleteLater();
    editor_ = nullptr;
    host_->setEnabled(true);
    Fill();
    TakeSpiderForTickedBox();
    ShowSpider();
    host_->activateWindow();
}

}  // namespace tak::ui
