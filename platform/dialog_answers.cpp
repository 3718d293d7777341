// The answers file of the end-to-end tests' dialog hook (see platform/dialogs.h).
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/dialogs.h"

namespace {

// A line without its line end and trailing blanks.
std::string Trimmed(const char* line) {
  std::string text(line);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                           text.back() == '\t')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

bool ReadDialogAnswers(const char* path, ScriptedDialogs* dialogs, char* error, int errorSize) {
  FILE* file = path != nullptr && path[0] != '\0' ? std::fopen(path, "r") : nullptr;
  if (file == nullptr) {
    std::snprintf(error, errorSize, "cannot read the dialog answers file \"%s\"",
                  path != nullptr ? path : "");
    return false;
  }
  char line[kDialogPathSize + 16];
  int number = 0;
  bool ok = true;
  while (ok && std::fgets(line, sizeof line, file) != nullptr) {
    ++number;
    if (std::strchr(line, '\n') == nullptr && !std::feof(file)) {
      std::snprintf(error, errorSize, "%s:%d: the line is longer than %d bytes", path, number,
                    kDialogPathSize - 1);
      ok = false;
      break;
    }
    const std::string text = Trimmed(line);
    if (number == 1) {
      if (text != kDialogAnswersHeader) {
        std::snprintf(error, errorSize, "%s does not start with the line \"%s\"", path,
                      kDialogAnswersHeader);
        ok = false;
      }
      continue;
    }
    if (text.empty() || text[0] == '#') continue;
    if (text.compare(0, 5, "file ") == 0 && text.size() > 5) {
      dialogs->fileAnswers.push_back(text.substr(5));
    } else if (text == "cancel") {
      dialogs->fileAnswers.emplace_back();
    } else if (text == "save") {
      dialogs->saveChangesAnswers.push_back(SaveChangesAnswer::kSave);
    } else if (text == "discard") {
      dialogs->saveChangesAnswers.push_back(SaveChangesAnswer::kDiscard);
    } else if (text == "keep") {
      dialogs->saveChangesAnswers.push_back(SaveChangesAnswer::kCancel);
    } else {
      std::snprintf(error, errorSize, "%s:%d: \"%.200s\" is not an answer", path, number,
                    text.c_str());
      ok = false;
    }
  }
  if (ok && number == 0) {
    std::snprintf(error, errorSize, "%s is empty", path);
    ok = false;
  }
  std::fclose(file);
  if (!ok) {
    dialogs->fileAnswers.clear();
    dialogs->saveChangesAnswers.clear();
  }
  return ok;
}

void AnswerFileDialogs::Message(const char* caption, const char* text, bool warning) {
  ScriptedDialogs::Message(caption, text, warning);
  std::fprintf(stderr, "dialog: %s: %s\n", caption, text);
}
