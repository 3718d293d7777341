#include "platform/dialogs.h"

#include <cstdio>
#include <cstring>

#include "platform/input.h"
#include "platform/log.h"

namespace {

struct BatchBackend : DialogBackend {
  bool ChooseFile(const FileDialogRequest&, char*) override { return false; }
  void Message(const char* caption, const char* text, bool) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }
  SaveChangesAnswer AskSaveChanges(const char*) override { return SaveChangesAnswer::kCancel; }
};

BatchBackend batchBackend;
DialogBackend* backend = &batchBackend;

char rememberedNames[kDialogKinds][kDialogPathSize];

struct Filter {
  const char* label;
  const char* pattern;
};
const Filter kFilters[kDialogKinds] = {
    {"Project Files (*.tvp)", "*.tvp"},
    {"PNG Files (*.png)", "*.png"},
    {"WAV Files (*.wav)", "*.wav"},
    {"PNG Files (*.png)", "*.png"},
};

bool ChooseFile(char* path, DialogKind kind, bool save) {
  if (kind < 0 || kind >= kDialogKinds) return false;
  FileDialogRequest request;
  request.save = save;
  request.kind = kind;
  request.title = save ? "Save As" : "Load";
  request.filterLabel = kFilters[kind].label;
  request.filterPattern = kFilters[kind].pattern;
  request.startName = rememberedNames[kind];
  char chosen[kDialogPathSize] = "";
  bool ok = backend->ChooseFile(request, chosen);
  // The dialog held the keyboard: keys that were down when it opened must be pressed again
  // before they count, so Ctrl+S or Ctrl+L cannot reopen it by themselves.
  ForgetHeldKeys();
  if (!ok || chosen[0] == '\0') return false;
  std::snprintf(rememberedNames[kind], kDialogPathSize, "%s", chosen);
  std::snprintf(path, kDialogPathSize, "%s", chosen);
  return true;
}

}  // namespace

DialogBackend* BatchDialogs() { return &batchBackend; }

void SetDialogBackend(DialogBackend* newBackend) {
  backend = newBackend != nullptr ? newBackend : &batchBackend;
}

bool ChooseSaveFile(char* path, DialogKind kind) { return ChooseFile(path, kind, true); }
bool ChooseOpenFile(char* path, DialogKind kind) { return ChooseFile(path, kind, false); }

void ShowMessage(const char* caption, const char* text, bool warning) {
  LogMessage("%s: %s", caption, text);
  backend->Message(caption, text, warning);
  ForgetHeldKeys();
}

SaveChangesAnswer AskSaveChanges(const char* question) {
  SaveChangesAnswer answer = backend->AskSaveChanges(question);
  ForgetHeldKeys();
  return answer;
}

void ClearRememberedFileNames() { std::memset(rememberedNames, 0, sizeof rememberedNames); }

const char* RememberedFileName(DialogKind kind) {
  if (kind < 0 || kind >= kDialogKinds) return "";
  return rememberedNames[kind];
}

void SetRememberedFileName(DialogKind kind, const char* path) {
  if (kind < 0 || kind >= kDialogKinds) return;
  const int length = std::snprintf(rememberedNames[kind], kDialogPathSize, "%s",
                                   path != nullptr ? path : "");
  // A name cut short would propose a file nobody chose: propose none instead.
  if (length < 0 || length >= kDialogPathSize) rememberedNames[kind][0] = '\0';
}

bool ScriptedDialogs::ChooseFile(const FileDialogRequest& request, char* path) {
  requests.push_back(request);
  requestStartNames.emplace_back(request.startName);
  if (fileAnswers.empty()) return false;
  std::string answer = fileAnswers.front();
  fileAnswers.pop_front();
  if (answer.empty()) return false;
  std::snprintf(path, kDialogPathSize, "%s", answer.c_str());
  return true;
}

void ScriptedDialogs::Message(const char* caption, const char* text, bool warning) {
  messages.push_back(ShownMessage{caption, text, warning});
}

SaveChangesAnswer ScriptedDialogs::AskSaveChanges(const char* question) {
  questions.emplace_back(question);
  if (saveChangesAnswers.empty()) return SaveChangesAnswer::kCancel;
  SaveChangesAnswer answer = saveChangesAnswers.front();
  saveChangesAnswers.pop_front();
  return answer;
}
