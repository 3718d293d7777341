// The desktop dialogs: GTK3's file chooser, run in process and initialised on first use, and
// the window layer's message boxes.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/dialogs.h"
#include "platform/platform.h"

namespace {

bool gtkReady = false;
bool gtkFailed = false;

bool EnsureGtk() {
  if (gtkReady) return true;
  if (gtkFailed) return false;
  gtkReady = gtk_init_check(nullptr, nullptr);
  gtkFailed = !gtkReady;
  if (gtkFailed) std::fprintf(stderr, "tavoka: the file chooser cannot start (GTK)\n");
  return gtkReady;
}

// Lets GTK unmap a closed dialog before the editor draws again.
void FlushGtk() {
  while (gtk_events_pending()) gtk_main_iteration();
}

void AddFilter(GtkFileChooser* chooser, const char* label, const char* pattern) {
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, label);
  gtk_file_filter_add_pattern(filter, pattern);
  gtk_file_chooser_add_filter(chooser, filter);
}

struct DesktopBackend : DialogBackend {
  bool ChooseFile(const FileDialogRequest& request, char* path) override {
    if (!EnsureGtk()) return false;
    GtkFileChooserAction action =
        request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        request.title, nullptr, action, "_Cancel", GTK_RESPONSE_CANCEL,
        request.save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    AddFilter(chooser, request.filterLabel, request.filterPattern);
    AddFilter(chooser, "All Files (*.*)", "*");
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, request.save);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    if (request.startName[0] != '\0') {
      if (request.save) {
        gchar* folder = g_path_get_dirname(request.startName);
        gchar* base = g_path_get_basename(request.startName);
        gtk_file_chooser_set_current_folder(chooser, folder);
        gtk_file_chooser_set_current_name(chooser, base);
        g_free(folder);
        g_free(base);
      } else {
        gtk_file_chooser_set_filename(chooser, request.startName);
      }
    }
    bool ok = false;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
      gchar* chosen = gtk_file_chooser_get_filename(chooser);
      if (chosen != nullptr && std::strlen(chosen) < kDialogPathSize) {
        std::snprintf(path, kDialogPathSize, "%s", chosen);
        ok = true;
      } else if (chosen != nullptr) {
        ShowMessageBox("Error", "The chosen path is too long.", true);
      }
      g_free(chosen);
    }
    gtk_widget_destroy(dialog);
    FlushGtk();
    return ok;
  }

  void Message(const char* caption, const char* text, bool warning) override {
    ShowMessageBox(caption, text, warning);
  }

  SaveChangesAnswer AskSaveChanges(const char* question) override {
    const char* buttons[] = {"Save", "Discard", "Cancel"};
    switch (ShowQuestionBox("Tavoka", question, buttons, 3)) {
      case 0: return SaveChangesAnswer::kSave;
      case 1: return SaveChangesAnswer::kDiscard;
      default: return SaveChangesAnswer::kCancel;
    }
  }
};

DesktopBackend desktopBackend;

}  // namespace

DialogBackend* DesktopDialogs() { return &desktopBackend; }
