// Packing a finished file: the objects that are not streams (pages, font
// dictionaries, the catalog) go into one compressed object stream, and a
// cross-reference stream replaces the table. Small documents are mostly such
// dictionaries and table lines; packed, they take a fraction of the bytes.
// Readers need PDF 1.5 for it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tak {

// `file` is a whole classic file as the writer makes it: a header line,
// objects "n 0 obj ... endobj" numbered from 1, then the "xref" table and
// trailer. `offsets[i]` is where object i + 1 starts; `root` and `info` are
// the catalog's and the information dictionary's numbers. The packed file
// keeps every object's number and every stream's bytes, and the information
// dictionary (with the creation date) as it stands. Nothing when the file
// is not of that form (it is then written as it is) or memory runs out.
std::optional<std::string> PackObjects(std::string_view file, const std::vector<std::size_t>& offsets, int root,
                                       int info);

}  // namespace tak
