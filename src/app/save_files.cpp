#include "app/save_files.h"

#include "app/session.h"
#include "song/file_io.h"

namespace zephrane {

bool SaveMidiFile(Session& session, const std::string& path) {
    return Guarded(session, "SaveMidiFile", [&] { WriteImageFile(path, session.song.bytes); });
}

bool SaveStyleFile(Session& session, const std::string& path) {
    return Guarded(session, "SaveStyleFile", [&] { WriteImageFile(path, session.output); });
}

std::string ProposedSaveName(const std::string& fileName, const std::string& extension) {
    const size_t kept = fileName.size() > 4 ? fileName.size() - 4 : 0;
    return fileName.substr(0, kept) + "." + extension;
}

std::optional<std::string> SaveAs(Session& session, SaveKind kind,
                                  const std::optional<std::string>& path) {
    std::optional<std::string> saved;
    Guarded(session, "SaveAs", [&] {
        const bool midi = kind == SaveKind::Midi;
        FileDialogRequest request;
        request.defaultExtension = midi ? "mid" : "sty";
        request.filter = midi ? "Style Files(*.mid)|*.mid|" : "Style Files(*.sty)|*.sty|";
        request.proposedName = ProposedSaveName(session.song.fileName, request.defaultExtension);
        const auto chosen = path ? path : session.platform.fileDialogs.ChooseFileToSave(request);
        if (!chosen || chosen->empty()) return;
        if (FileCanBeRead(*chosen) &&
            !session.platform.messages.AskOkCancel("This will replace existing file")) {
            return;
        }
        if (midi) {
            if (SaveMidiFile(session, *chosen)) saved = *chosen;
        } else if (SaveStyleFile(session, *chosen)) {
            session.song.lastStyleSaved = *chosen;
            saved = *chosen;
        }
    });
    return saved;
}

}  // namespace zephrane
