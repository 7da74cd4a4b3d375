#include "app/text_boxes.h"

#include "app/messages.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "song/midi.h"
#include "song/text_codec.h"

namespace zephrane {
namespace {

CommandResult LeaveTextBox(Session& session, TextKind kind, const std::string& boxText,
                           const char* handlerName) {
    std::string& box =
        kind == TextKind::Copyright ? session.view.txtCopyright : session.view.txtStyleName;
    return RunCommand(session, [&] {
        return Guarded(session, handlerName,
                       [&] {
                           if (session.song.fileName.empty()) {
                               Refuse(session, kNoFileOpenMessage);
                               box.clear();
                               return;
                           }
                           box = boxText;
                           UpdateDataArray(session, kind);
                       }) &&
               !session.said.refusal;
    });
}

}  // namespace

int MetaTypeOf(TextKind kind) {
    switch (kind) {
        case TextKind::Marker:
            return meta_type::kMarker;
        case TextKind::TextEvent:
            return meta_type::kText;
        case TextKind::Copyright:
            return meta_type::kCopyright;
        case TextKind::StyleName:
            return meta_type::kTrackName;
        case TextKind::TrackName:
            return meta_type::kInstrumentName;
    }
    return meta_type::kText;
}

CommandResult LeaveCopyrightBox(Session& session, const std::string& boxText) {
    return LeaveTextBox(session, TextKind::Copyright, boxText, "TxtCopyrightValidate");
}

CommandResult LeaveStyleNameBox(Session& session, const std::string& boxText) {
    return LeaveTextBox(session, TextKind::StyleName, boxText, "TxtStyleNameValidate");
}

void UpdateDataArray(Session& session, TextKind kind) {
    Guarded(session, "UpdateDataArray", [&] {
        if (!ScanSong(session)) return;
        const SongFacts& facts = session.facts;
        if (kind == TextKind::Copyright) {
            if (facts.copyrightPos < 1) {
                AddTextEvent(session, kind, session.view.txtCopyright);
            } else {
                LoadText(session, session.view.txtCopyright, facts.copyrightLength,
                         facts.copyrightPos);
            }
        } else if (facts.styleNamePos != 0) {
            LoadText(session, session.view.txtStyleName, facts.styleNameLength, facts.styleNamePos);
        } else {
            AddTextEvent(session, TextKind::StyleName, session.view.txtStyleName);
        }
        ScanSong(session);
        session.view.txtCopyright = session.facts.copyright;
        session.view.txtStyleName = session.facts.styleName;
    });
}

void LoadText(Session& session, std::string_view text, int length, int position) {
    Guarded(session, "LoadText", [&] {
        std::vector<uint8_t> bytes = EncodeAnsi(text);
        bytes.resize(static_cast<size_t>(std::max(length, 0)), ' ');
        session.walk.walkPos = position;
        for (uint8_t byte : bytes) {
            session.song.bytes.Set(session.walk.walkPos, byte);
            session.walk.walkPos += 1;
        }
    });
}

void AddTextEvent(Session& session, TextKind kind, std::string_view text) {
    Guarded(session, "AddTextEvent", [&] {
        const std::vector<uint8_t> textBytes = EncodeAnsi(text);
        std::vector<uint8_t> event = {0x00, kMetaStatus, static_cast<uint8_t>(MetaTypeOf(kind))};
        // Texts of 128 characters or more need a length of more than one byte.
        AppendVariableLength(event, static_cast<int64_t>(textBytes.size()));
        event.insert(event.end(), textBytes.begin(), textBytes.end());

        ByteImage& song = session.song.bytes;
        song.InsertGap(kFirstEventPos, static_cast<int64_t>(event.size()));
        for (size_t i = 0; i < event.size(); ++i) {
            song.Set(kFirstEventPos + static_cast<int64_t>(i), event[i]);
        }
        UpdateTrackLength(song);
    });
}

}  // namespace zephrane
