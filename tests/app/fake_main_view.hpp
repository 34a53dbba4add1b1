// SPDX-License-Identifier: MIT
// A main view that records what the logic asks of the window, one line per call, and answers
// the questions a test set up beforehand.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/main_view.hpp"
#include "app/shapefile_layer.hpp"

namespace varnelo::testing {

class TFakeMainView final : public IMainView {
  public:
    std::vector<std::string> Calls;
    std::deque<std::optional<std::string>> DialogAnswers;  // next ChooseFile answers
    std::optional<TFolderChoice> FolderAnswer;              // ChooseFolder's answer
    std::optional<std::size_t> Selected;
    bool OpenDocumentWorks = true;
    TEditors Shown;
    bool CombineEnabled = false;
    bool Busy = false;
    bool EntryCommandsEnabled = false;
    TMainEnabled Enabled;  // the last ShowEnabled
    // Runs whenever a conversion reports progress (at its first object, then every MiB).
    std::function<void()> OnProgress;
    // Runs once, while the next message box is up.
    std::function<void()> OnMessage;

    // The calls of one kind (the text before the first blank), in order.
    std::vector<std::string> CallsOf(std::string_view kind) const {
        std::vector<std::string> out;
        for (const std::string& call : Calls) {
            if (call.compare(0, kind.size(), kind) == 0 &&
                (call.size() == kind.size() || call[kind.size()] == ' ')) {
                out.push_back(call);
            }
        }
        return out;
    }

    void ShowMessage(TMessageKind kind, std::string_view text) override {
        static constexpr const char* kKinds[] = {"warning", "error", "information"};
        Calls.push_back(std::string("box ") + kKinds[static_cast<int>(kind)] + " " +
                        std::string(text));
        if (auto shown = std::exchange(OnMessage, nullptr)) {
            shown();
        }
    }
    void CloseMessage() override { Calls.push_back("closebox"); }
    void ShowErrorDisplay(std::string_view text) override {
        Calls.push_back("errordisplay " + std::string(text));
    }
    void SetStatusText(std::string_view text) override {
        Calls.push_back("status " + std::string(text));
    }
    void SetProgress(std::uint64_t, std::uint64_t total) override {
        if (total == 0) {
            Calls.push_back("progress off");
        } else if (OnProgress) {
            OnProgress();
        }
    }
    void SetBusyCursor(bool busy) override {
        Calls.push_back(busy ? "cursor busy" : "cursor default");
    }
    void ProcessMessages() override { Calls.push_back("processmessages"); }
    // Records the busy state as it changes: while busy only the cancel button is on.
    void ShowEnabled(const TMainEnabled& enabled) override {
        if (enabled[btnCancel] != Busy) {
            Calls.push_back(enabled[btnCancel] ? "busy on" : "busy off");
        }
        Busy = enabled[btnCancel];
        EntryCommandsEnabled = enabled[btnReplace];
        CombineEnabled = enabled[chkCombine];
        Enabled = enabled;
    }
    std::optional<std::string> ChooseFile(TFileDialog dialog) override {
        Calls.push_back("dialog " + std::to_string(static_cast<int>(dialog)));
        if (DialogAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = DialogAnswers.front();
        DialogAnswers.pop_front();
        return answer;
    }
    std::optional<TFolderChoice> ChooseFolder() override {
        Calls.push_back("folder dialog");
        return FolderAnswer;
    }
    void ShowEditors(const TEditors& editors) override { Shown = editors; }
    void ListChanged(TListChange change, std::size_t index) override {
        Calls.push_back("list " + std::to_string(static_cast<int>(change)) + " " +
                        std::to_string(index));
    }
    std::optional<std::size_t> SelectedEntry() const override { return Selected; }
    void SelectEntry(std::size_t index) override {
        Selected = index;
        Calls.push_back("select " + std::to_string(index));
    }
    void ShowCombine(bool, std::string_view) override {}
    void ShowAbout(std::string_view versionText) override {
        Calls.push_back("about " + std::string(versionText));
    }
    bool OpenDocument(const std::string& path) override {
        Calls.push_back("open " + path);
        return OpenDocumentWorks;
    }
    void CloseWindow() override { Calls.push_back("close"); }
    void ShowShapefile(std::unique_ptr<TShapefileLayer> layer) override {
        Calls.push_back("view " + layer->ShpPath());
    }
};

}  // namespace varnelo::testing
