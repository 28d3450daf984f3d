/*
 * pennorak.h - the hint service behind quorvane's banner.
 *
 * One service per process. The application registers its hints, starts the
 * service, and receives the hint to show through its display callback: at
 * start, whenever the rotation period elapses, and after pennorak_selecthint.
 * The callback runs on the service's own thread (never on the caller's), so
 * a windowed application must move the texts to its UI thread itself.
 *
 * Hints come from the records added with pennorak_addhint and, when the
 * request script names a readable hints file, from that file: one hint per
 * line, four fields separated by '|':  id|hint text|link caption|link address
 * Blank lines and lines starting with '#' are ignored; a malformed line is
 * skipped, and so is a line longer than 4096 characters or one whose link
 * does not start with http://, https:// or file://. Hints from the file
 * follow the added ones.
 *
 * Functions returning int give 1 on success and 0 on failure. All functions
 * may be called from any thread.
 */
#ifndef PENNORAK_H
#define PENNORAK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One hint: four NUL-terminated texts. The service copies them. */
typedef struct PennorakHint {
    const char* id;
    const char* text;
    const char* caption;
    const char* link;
} PennorakHint;

/* Receives the hint to show: its text and its link caption. */
typedef void (*PennorakDisplayCallback)(const char* text, const char* caption);

/*
 * Prepares the service; it shows nothing until pennorak_start.
 *   appName          name used for the per-user hints folder and log lines
 *   rotateSeconds    seconds between two hints, 1-86400
 *   useHintsFile     1: read the hints file named by requestScript, 0: do not
 *   requestScript    const char* path of the hints file, or NULL for
 *                    $XDG_CONFIG_HOME/Trelvik-System/<appName>-hints.txt
 *   hintList         const char* URL of the product's hint page, or NULL
 *                    (kept for clients that show it; never fetched)
 *   firstHint        index of the hint shown first, 0-based, modulo the count
 *   maxHints         most hints kept beside the added ones from the file
 *                    (0 or negative = no limit)
 *   shuffle          1: start rotation at a random hint, 0: in order
 *   showLinks        1: pass the link caption to the callback, 0: pass ""
 *   appTitle         title shown in front of nothing yet; kept for clients
 *   display          the display callback (required)
 *   reserved         must be 0 (not checked)
 *   appConstant      the application's 32-bit identifier (any value)
 * Returns 0 when display is NULL, rotateSeconds is out of range or the
 * service is already initialised.
 */
int pennorak_init(const char* appName, int32_t rotateSeconds, int32_t useHintsFile,
                  const void* requestScript, const void* hintList, int32_t firstHint,
                  int32_t maxHints, int32_t shuffle, int32_t showLinks, const char* appTitle,
                  PennorakDisplayCallback display, int32_t reserved, uint32_t appConstant);

/* Adds one hint (copied). 0 before pennorak_init, after pennorak_start, or
 * when a field is NULL. */
int pennorak_addhint(const PennorakHint* hint);

/* Loads the hints file if asked for, shows the first hint and starts the
 * rotation thread. No effect without a successful pennorak_init. */
void pennorak_start(void);

/* Shows another hint at once and restarts the rotation period.
 *   which   -2 next hint, -1 previous hint, 0.. that index (modulo count)
 *   notify  1: call the display callback, 0: only move the selection
 *   restart 1: restart the rotation period, 0: keep it
 * No effect before pennorak_start or when there are no hints. */
void pennorak_selecthint(int32_t which, int32_t notify, int32_t restart);

/* Opens the current hint's link with the desktop's opener (the program in
 * PENNORAK_OPEN_COMMAND, else xdg-open) and waits for it to finish. Meant to
 * run on a thread of its own. The link is the opener's only argument (no
 * shell); a link that does not start with http://, https:// or file://, or
 * that holds blanks or control characters, is not opened. No effect without a
 * current hint. */
void pennorak_hintclick(void);

/* Stops the rotation thread (waits for it) and forgets every hint; the
 * service may be initialised again afterwards. No callback runs after it
 * returns; called from the display callback, it returns at once and the
 * thread ends when the callback returns. */
void pennorak_close(void);

#ifdef __cplusplus
}
#endif

#endif /* PENNORAK_H */
