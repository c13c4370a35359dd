// The readable profile file: one UTF-8 JSON document with the format's name and version, the four
// profiles' assignments by key name, the macros with their actions and, when asked for, the lighting of
// the three on-board profiles. docs/profile-json.md describes it and docs/profile-json.schema.json is its
// schema.
//
// Reading is as strict as the checks of a binary profile file: an unknown member, key name or kind, a
// value out of range, a member named twice or a NUL byte in the text refuses the whole document, with the
// JSON path of the first problem found.
#pragma once

#include "profiles/ProfileModel.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvik::profiles::json {

inline constexpr std::string_view kFormatName = "tarvik-profile";
inline constexpr int kFormatVersion = 1;
// A full export is about 215 KB; the largest document the format allows (every profile, 100 macros of
// 2000 actions, the lighting) stays below this.
inline constexpr size_t kMaxDocumentBytes = 24u * 1024u * 1024u;
// Deeper than any member of the format nests.
inline constexpr int kMaxDepth = 16;
// More members than any object of the format has (its largest name every key of the keyboard), and more
// elements than its largest array (a macro's 2000 actions). Checked before anything is built, so an
// oversized object or array costs no more than reading its text once.
inline constexpr size_t kMaxMembers = 512;
inline constexpr size_t kMaxElements = 2000;

// The document as text: two-space indentation, one line per assignment, macro action and lit key, and a
// line feed at the end. The document must pass model::checkDocument.
std::string writeDocument(const model::Document& doc);

// Reads a document. False with the first problem (its path "$" when the text is no JSON document at all,
// with the line and column in the message).
bool readDocument(std::string_view text, model::Document& out, model::Problem& problem);

} // namespace tarvik::profiles::json
