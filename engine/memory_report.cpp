#include "memory_report.h"

#include <algorithm>

namespace korvane {

void MemoryReport::insertAtCaret(std::string_view text) {
    text_.insert(caret_, text);
    colours_.insert(colours_.begin() + static_cast<std::ptrdiff_t>(caret_), text.size(),
                    insertion_);
    caret_ += text.size();
}

void MemoryReport::setCaret(std::size_t position) {
    caret_ = std::min(position, text_.size());
}

void MemoryReport::clear() {
    text_.clear();
    colours_.clear();
    caret_ = 0;
}

std::vector<ReportLine> MemoryReport::lines() const {
    std::vector<ReportLine> result;
    std::size_t start = 0;
    while (start < text_.size()) {
        const auto end = text_.find("\r\n", start);
        const auto stop = end == std::string::npos ? text_.size() : end;
        result.push_back({text_.substr(start, stop - start), colours_[start]});
        start = end == std::string::npos ? text_.size() : end + 2;
    }
    return result;
}

} // namespace korvane
