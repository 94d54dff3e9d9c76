#pragma once
// How large an answer of the naming service may be, by kind. Real answers are
// small (a server time is a dozen bytes, a fortune a few hundred, a page of
// ten names or a full analysis a few kilobytes); each bound lies far above
// anything the service sends and far below what could hurt the client. An
// answer beyond its bound is not kept: the transfer is stopped and the answer
// counts as not JSON (status 2). A stored answer (a cache file) beyond the
// bound of its kind is ignored like an unreadable one.
//
// Parsing is bounded as well, whatever the bytes hold (see parseJson in
// service/json_access.h: at most kJsonValueLimit values, nested at most
// kJsonNestingLimit deep), so no answer within these bounds can make the
// client build more than a few megabytes of JSON.
#include <cstddef>

namespace norvane {

// The server time: a decimal integer and a line break.
inline constexpr std::size_t kMaxTimeAnswerBytes = 4u * 1024u;

// A page of formal names or nicknames (ten records).
inline constexpr std::size_t kMaxPageAnswerBytes = 1024u * 1024u;

// The records of one page (the client asks for ten; the service allows at
// most a hundred). A page answer with more is not a page: it is refused as
// not JSON, since each record costs the windows a row and the command line a
// printed object.
inline constexpr std::size_t kMaxPageRecords = 1000;

// The analysis of a name or of a nickname.
inline constexpr std::size_t kMaxAnalysisAnswerBytes = 256u * 1024u;

// The fortune of a name (a short text and two short lists).
inline constexpr std::size_t kMaxFortuneAnswerBytes = 64u * 1024u;

// Any other answer (the login requests): the largest bound above.
inline constexpr std::size_t kMaxAnswerBytes = kMaxPageAnswerBytes;

}  // namespace norvane
