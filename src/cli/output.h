#pragma once
// What norvane-cli prints: the results of the queries as JSON documents.
// Kept apart from the queries so other front ends can reuse the queries alone.
#include "service/analysis_query.h"
#include "service/name_query.h"

#include <json/value.h>

#include <string>

namespace norvane::cli {

// A float as the shortest decimal that reads back as the same float (92.5,
// 116.4), so the output shows the value the program holds, not binary noise.
Json::Value floatNumber(float value);

// The record's fields by name; "ChuChu" ({"Text", "Title", "Author", "Book"})
// only when the name has a source.
Json::Value recordJson(const NameRecord& record);

// {"page", "pageSize", "pages", "total", "names": [records]}; pages is the
// total divided by the page size, rounded up.
Json::Value pageJson(const PageQuery& query);

Json::Value fortuneJson(const LuckQuery& query);

// The document as printed: UTF-8 text, three-space indentation, a line
// break at the end.
std::string printable(const Json::Value& document);

}  // namespace norvane::cli
