#pragma once
// Reading and writing the JSON documents exchanged with the service.
//
// Service answers come from outside: every member is read through the
// accessors below, which treat a member of the wrong type like a missing one
// (empty text, 0, empty array) instead of letting the JSON library throw.
#include <json/value.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace norvane {

// Parses a document (comments allowed). Never throws. Returns false for
// text that is not JSON, and also for a document with more than
// kJsonValueLimit values (every string, number, literal, array and object
// counts, member names too) or nested deeper than kJsonNestingLimit: such a
// document is no answer of the service, and building it could take gigabytes
// of memory or exhaust the stack. The limits are checked on the text before
// anything is built.
//
// Every text in the document is well-formed UTF-8: invalid bytes and the
// escape of a lone surrogate (a \uD800-\uDBFF without a \uDC00-\uDFFF
// after it, or one of the latter alone) each become U+FFFD.
constexpr unsigned kJsonNestingLimit = 64;
constexpr std::size_t kJsonValueLimit = 20000;
bool parseJson(std::string_view text, Json::Value& document);

// The document in the service's request layout: members in ascending name
// order, three-space indentation, short arrays on one line, a line break at
// the end; non-ASCII text is written as UTF-8, not as \u escapes.
std::string writeStyledJson(const Json::Value& document);

// The member `name` of an object; a null value when `value` is not an object
// or has no such member.
const Json::Value& jsonMember(const Json::Value& value, const char* name);

// True when `value` is an object that has the member `name` (of any type).
bool jsonHasMember(const Json::Value& value, const char* name);

// A string value; "" for any other type.
std::string jsonText(const Json::Value& value);

// A number within the range of int, truncated toward zero like a C cast;
// 0 for every other value (texts, booleans, null, arrays, objects).
int jsonInt(const Json::Value& value);

// Whether `value` reads as an int under jsonInt's rules.
bool jsonIsInt(const Json::Value& value);

// Any number as a double; 0 for every other value (booleans included).
double jsonDouble(const Json::Value& value);

// The value when it is an array; an empty array otherwise (an object's
// members are not counted as elements).
const Json::Value& jsonArray(const Json::Value& value);

}  // namespace norvane
