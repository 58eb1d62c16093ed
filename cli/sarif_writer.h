#pragma once

// --format=sarif: one SARIF 2.1.0 log for the whole run, for code-scanning
// services. One run; the sixteen rules as its tool's rules; one result per
// finding at its location, with a related location for every key's origin
// and every #include line that led there.

#include "check_result.h"

#include <nlohmann/json.hpp>
#include <string>

namespace korvane::cli {

class SarifLog {
public:
    void add(const CheckResult& result);
    // The whole log, as one line of JSON text.
    std::string document() const;

private:
    nlohmann::ordered_json results_ = nlohmann::ordered_json::array();
};

// A file name as a URI reference: relative names stay relative, rooted
// ones become file: URIs; bytes other than unreserved ones and '/' are
// percent-encoded.
std::string fileUri(const std::string& file);

} // namespace korvane::cli
