// The readable profile file: one UTF-8 JSON document with the format's name and version, the four
// profiles' assignments by key name, the macros with their actions and, when asked for, the lighting of
// the three on-board profiles. docs/profile-json.md describes it and docs/profile-json.schema.json is its
// schema.
//
// Reading is as strict as the checks of a binary profile file: an unknown member, key name or kind, a
// value out of range or a member named twice refuses the whole document, with the JSON path of the first
// problem found.
#pragma once

#include "profiles/ProfileModel.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvik::profiles::json {

inline constexpr std::string_view kFormatName = "tarvik-profile";
inline constexpr int kFormatVersion = 1;
// A document with every profile, 100 macros of 2000 actions and the lighting stays far below this.
inline constexpr size_t kMaxDocumentBytes = 64u * 1024u * 1024u;
// Deeper than any member of the format nests.
inline constexpr int kMaxDepth = 16;

// The document as text: two-space indentation, one line per assignment, macro action and lit key, and a
// line feed at the end. The document must pass model::checkDocument.
std::string writeDocument(const model::Document& doc);

// Reads a document. False with the first problem (its path "$" when the text is no JSON document at all,
// with the line and column in the message).
bool readDocument(std::string_view text, model::Document& out, model::Problem& problem);

} // namespace tarvik::profiles::json
