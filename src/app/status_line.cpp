#include "app/status_line.h"

#include <algorithm>

#include "app/session.h"

namespace zephrane {
namespace {

// More sections than this are counted rather than named, so that the line fits the window; the
// map names them all.
constexpr size_t kSectionsNamed = 4;

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string DoneText(const Session& session, std::string_view action) {
    if (action == "Open File" || action == "Open Recent File" || action == "Drop File") {
        return "Opened " + session.song.fileName + ".";
    }
    if (action == "Save Style" && !session.song.lastStyleSaved.empty()) {
        return "Saved the style as " + session.song.lastStyleSaved + ".";
    }
    const bool sectionButton =
        std::any_of(kSectionTable.begin(), kSectionTable.end(),
                    [&](const SectionRow& row) { return row.key == action; });
    if (sectionButton) return "Marked " + std::string(action) + ".";
    return std::string(action) + ": done.";
}

std::string NextStep(const Session& session) {
    if (session.song.fileName.empty()) return "";
    if (const size_t proposed = session.view.proposedSections.size(); proposed > 0) {
        return std::to_string(proposed) + (proposed == 1 ? " section" : " sections") +
               " proposed: right-click one to accept or drop it, or Edit > Accept Suggested "
               "Sections.";
    }
    if (session.view.sections.marked.empty()) {
        return "Next: mark the sections with the section buttons (Main A first).";
    }
    if (!session.useStyleCasm && !AnyPartAssigned(session.casm)) {
        return "Next: choose a part for each channel in the CASM grid, or press Auto CASM Set.";
    }
    return "Next: Save Style (Ctrl+S) makes the style.";
}

}  // namespace

void NoteOutcome(Session& session, std::string_view action, const CommandResult& result) {
    std::string& said = session.view.lastDone;
    switch (result.outcome) {
        case Outcome::Done:
            said = DoneText(session, action);
            break;
        case Outcome::Cancelled:
            said = std::string(action) + ": cancelled.";
            break;
        case Outcome::Refused:
        case Outcome::Failed:
            said = std::string(action) + ": " + FirstLine(result.message);
            break;
    }
}

std::string MarkedAndNextStep(const Session& session) {
    std::string text;
    const auto& marked = session.view.sections.marked;
    if (marked.size() > kSectionsNamed) {
        text = std::to_string(marked.size()) + " sections marked.";
    } else {
        for (size_t i = 0; i < marked.size(); ++i)
            text += (i == 0 ? "Sections: " : ", ") + marked[i].label;
        if (!text.empty()) text += ".";
    }
    const std::string next = NextStep(session);
    if (!next.empty()) text += (text.empty() ? "" : "  ") + next;
    return text;
}

}  // namespace zephrane
