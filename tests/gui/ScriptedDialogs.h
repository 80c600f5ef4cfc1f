#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "app/gui/Dialogs.h"

namespace testing_support {

// Dialogs that answer from a script instead of waiting for a user, and keep
// every request and message so tests can look at them afterwards.
class ScriptedDialogs : public KelvaneGui::Dialogs {
 public:
  using Answer = std::function<std::optional<KelvaneGui::FileDialogAnswer>(
      const KelvaneGui::FileDialogRequest&)>;

  // OK with this file name.
  void Choose(const QString& fileName) {
    answers_.push_back([fileName](const KelvaneGui::FileDialogRequest& request) {
      return KelvaneGui::FileDialogAnswer{fileName, request.filterIndex};
    });
  }
  // OK with the name the dialog opened with.
  void AcceptProposed() {
    answers_.push_back([](const KelvaneGui::FileDialogRequest& request) {
      return KelvaneGui::FileDialogAnswer{request.fileName, request.filterIndex};
    });
  }
  void Cancel() {
    answers_.push_back([](const KelvaneGui::FileDialogRequest&) {
      return std::optional<KelvaneGui::FileDialogAnswer>();
    });
  }
  // Anything else, run while the dialog would be open.
  void Then(Answer answer) { answers_.push_back(std::move(answer)); }

  std::optional<KelvaneGui::FileDialogAnswer> ShowFileDialog(
      QWidget*, const KelvaneGui::FileDialogRequest& request) override {
    requests.push_back(request);
    if (answers_.empty()) {
      ++unexpected;
      return std::nullopt;
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer(request);
  }

  void ShowMessage(QWidget*, MessageKind kind, const QString&, const QString& text) override {
    messages.push_back({kind, text});
  }

  struct Message {
    MessageKind kind;
    QString text;
  };
  std::vector<KelvaneGui::FileDialogRequest> requests;
  std::vector<Message> messages;
  int unexpected = 0;  // dialogs shown with no answer left (taken as Cancel)
  std::size_t AnswersLeft() const { return answers_.size(); }

 private:
  std::deque<Answer> answers_;
};

}  // namespace testing_support
