#pragma once
// The style name (track-name meta event, type 3) and the copyright (type 2) of the song image,
// written whenever the user leaves their boxes in the main window.

#include <string>
#include <string_view>

#include "app/command_result.h"

namespace zephrane {

struct Session;

enum class TextKind { Marker, TextEvent, Copyright, StyleName, TrackName };

// Meta event type written for each kind (6, 1, 2, 3, 4).
int MetaTypeOf(TextKind kind);

// Leaving the copyright box with `boxText` (and likewise the style-name box): without an open
// file the box is emptied with a message; otherwise the text goes into the song image.
CommandResult LeaveCopyrightBox(Session& session, const std::string& boxText);
CommandResult LeaveStyleNameBox(Session& session, const std::string& boxText);

// Writes the box text of `kind` (Copyright or StyleName) into the song image: over the existing
// event's text in place, or as a new first event; then both boxes show the texts now stored.
void UpdateDataArray(Session& session, TextKind kind);

// Overwrites `length` bytes from `position` with `text`, cut or padded with blanks to that
// length; the event keeps its size.
void LoadText(Session& session, std::string_view text, int length, int position);

// Inserts a meta event of `kind` holding `text` as the first event of the track, at delta 0.
void AddTextEvent(Session& session, TextKind kind, std::string_view text);

}  // namespace zephrane
