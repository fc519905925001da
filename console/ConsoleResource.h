// Resource identifiers of travokc's own strings; the messages it shares with the page
// keep their identifiers in res/resource.h.
#pragma once

// String table: usage and help
#define IDS_CONSOLE_USAGE        200
#define IDS_CONSOLE_HELP         201
#define IDS_CONSOLE_VERSION      202
// String table: usage errors
#define IDS_CONSOLE_NO_COMMAND   210
#define IDS_CONSOLE_BAD_COMMAND  211
#define IDS_CONSOLE_BAD_OPTION   212
#define IDS_CONSOLE_NO_VALUE     213
#define IDS_CONSOLE_KEY_TWICE    214
#define IDS_CONSOLE_TOO_MANY     215
// String table: the run
#define IDS_CONSOLE_STDIN        220
#define IDS_CONSOLE_STDOUT       221
#define IDS_CONSOLE_STOPPED      222
#define IDS_CONSOLE_PROGRESS     223
#define IDS_CONSOLE_SO_FAR       224
#define IDS_CONSOLE_MEGABYTES    225
