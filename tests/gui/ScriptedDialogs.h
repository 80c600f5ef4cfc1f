#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "app/gui/Dialogs.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace testing_support {

// Dialogs that answer from a script instead of waiting for a user, and keep
// every request and message so tests can look at them afterwards.
class ScriptedDialogs : public Kelvane::Gui::Dialogs {
 public:
  using Answer = std::function<std::optional<Kelvane::Gui::FileDialogAnswer>(
      const Kelvane::Gui::FileDialogRequest&)>;

  // OK with this file name.
  void Choose(const QString& fileName) {
    answers_.push_back([fileName](const Kelvane::Gui::FileDialogRequest& request) {
      return Kelvane::Gui::FileDialogAnswer{fileName, request.filterIndex};
    });
  }
  // OK with the name the dialog opened with.
  void AcceptProposed() {
    answers_.push_back([](const Kelvane::Gui::FileDialogRequest& request) {
      return Kelvane::Gui::FileDialogAnswer{request.fileName, request.filterIndex};
    });
  }
  void Cancel() {
    answers_.push_back([](const Kelvane::Gui::FileDialogRequest&) {
      return std::optional<Kelvane::Gui::FileDialogAnswer>();
    });
  }
  // Anything else, run while the dialog would be open.
  void Then(Answer answer) { answers_.push_back(std::move(answer)); }

  std::optional<Kelvane::Gui::FileDialogAnswer> ShowFileDialog(
      QWidget*, const Kelvane::Gui::FileDialogRequest& request) override {
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

  // The answers to questions, in turn; No once they run out.
  void AnswerYes() { replies_.push_back(true); }
  void AnswerNo() { replies_.push_back(false); }
  bool AskYesNo(QWidget*, MessageKind kind, const QString&, const QString& text) override {
    messages.push_back({kind, text, true});
    if (replies_.empty()) return false;
    const bool yes = replies_.front();
    replies_.pop_front();
    return yes;
  }

  struct Message {
    MessageKind kind;
    QString text;
    bool question = false;  // asked with Yes and No
  };
  std::vector<Kelvane::Gui::FileDialogRequest> requests;
  std::vector<Message> messages;
  int unexpected = 0;  // dialogs shown with no answer left (taken as Cancel)
  std::size_t AnswersLeft() const { return answers_.size(); }

 private:
  std::deque<Answer> answers_;
  std::deque<bool> replies_;
};

}  // namespace testing_support
