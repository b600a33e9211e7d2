/* SPDX-License-Identifier: MIT */
/* The tracker's C interface, for an IDE that is not ours (the Lazarus package calls it).
 *
 * The IDE reports what the user does; the tracker runs inside the library on the IDE host, as
 * in the stand-in IDE (the same package, notifiers and project group), on the system clock. Data
 * files go beside the projects (demo.lpi gives demo.HMR); the settings store is the default
 * one ($HMR_REGISTRY, else ~/.config/hmr/registry.db).
 *
 * Every call returns HMR_OK (0) or a failure status; then hmr_last_error() tells why. No call
 * throws, aborts or keeps a pointer it was given. Calls come from one thread, the IDE's.
 * Paths are absolute, in UTF-8.
 *
 * The tracker dialog that hmr_menu_chosen shows lets the IDE's loop run, so the IDE may call
 * again before it returns. Such a call is checked for bad arguments and returns at once; it
 * then waits and runs, at the time it came, when the outer call is done (a tick runs at once,
 * hmr_menu_chosen brings the dialog to the front, hmr_tracker_stop also closes the dialog). The
 * outer call reports what failed among the calls that waited. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

enum {
  HMR_OK = 0,
  HMR_FAILED = 1,        /* the action failed in the tracker or the IDE's state refused it */
  HMR_BAD_ARGUMENT = 2,  /* a null, empty or relative path, an unknown host */
  HMR_WRONG_ORDER = 3,   /* no tracker running, or a second start */
  HMR_REPORTED = 4       /* the action was done, and the tracker has a message for the user */
};

/* The folder of the IDE's installation (for Lazarus, its Lazarus directory), for the next
 * start: projects below it are the installation's own, tracked without a data file. Without
 * it, the folder of the running program counts, which for a rebuilt IDE (~/.lazarus/bin) is
 * not the installation. The next start takes it; refused while a tracker runs. */
int hmr_lazarus_directory(const char* folder);
/* Starts the tracker for the IDE `host` ("Lazarus" is the one known). */
int hmr_tracker_start(const char* host);
/* Closes every project (saving its data file) and stops the tracker. */
int hmr_tracker_stop(void);

int hmr_project_opened(const char* project_file);
/* A file opened in the editor, with the projects it belongs to (may be none). */
int hmr_file_opened(const char* file, const char* const* owners, int owner_count);
int hmr_file_activated(const char* file);
/* A change of the text in a source editor (not a move of the caret). */
int hmr_source_edited(const char* file);
/* A change made in the form designer to the form of `file` (its unit). */
int hmr_form_edited(const char* file);
/* "Save Project As": the project goes on under its new file name. */
int hmr_project_renamed(const char* old_file, const char* new_file);
int hmr_file_closed(const char* file);
int hmr_project_closed(const char* project_file);
/* The tracker's entry in the View menu: shows the tracker dialog on the running projects, the
 * Qt one on the IDE's X display when it can (else its report on standard output), and returns
 * when it has closed. */
int hmr_menu_chosen(void);
/* The IDE's periodic tick (every 15 seconds): time passes and the tracker's timer runs. */
int hmr_timer_tick(void);

/* The text of the last failure or message; "" when the last call succeeded. Valid until
 * the next call. */
const char* hmr_last_error(void);

#ifdef __cplusplus
}
#endif
