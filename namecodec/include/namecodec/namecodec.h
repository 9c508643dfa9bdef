/*
 * libnamecodec — C entry points.
 *
 * Encoding codes: 0 and 4 code page 949, 1 UTF-8, 2 Punycode (IDNA ACE),
 * 3 RACE (refused). Strings are NUL-terminated 8-bit text. The conversion
 * functions return 0 on success and a NAMECODEC_E_* value on failure.
 */
#ifndef NAMECODEC_NAMECODEC_H
#define NAMECODEC_NAMECODEC_H

#include "namecodec/export.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NAMECODEC_OUTPUT_SIZE 1024

enum {
    NAMECODEC_OK = 0,
    NAMECODEC_E_DECODE = 1,
    NAMECODEC_E_DISALLOWED = 2,
    NAMECODEC_E_LABEL_TOO_LONG = 3,
    NAMECODEC_E_NAME_TOO_LONG = 4,
    NAMECODEC_E_BAD_ACE = 5,
    NAMECODEC_E_IO = 6,
    NAMECODEC_E_UNSUPPORTED = 7,
    NAMECODEC_E_ENCODE = 8,
    NAMECODEC_E_OUTPUT_TOO_LONG = 9,
    NAMECODEC_E_ARGUMENT = 10
};

/* Converts every domain name in `input` from `from` to `to` and writes the
 * NUL-terminated result into `output`, never more than 1024 bytes including
 * the NUL. On failure `output` holds an empty string. */
NAMECODEC_API int ConvertString(const char *input, char *output, int from, int to);

/* Converts the text file `in_path` into `out_path` (created or replaced
 * atomically, keeping its owner, group and mode; a symbolic link is written
 * through, a FIFO or device directly, a folder refused). With keep_comment
 * 1 every changed line is preceded by its original as a comment of the
 * file's kind. On failure no output file is left (a FIFO or device may have
 * had part of it) and *error_line holds the first failing line, counted
 * from 1. */
NAMECODEC_API int ConvertFile(
    const char *in_path, const char *out_path, int from, int to, int keep_comment, int *error_line);

/* The syntax ConvertFileAs scans a file by. */
enum {
    NAMECODEC_KIND_AUTO = 0, /* recognised from the content, as ConvertFile does */
    NAMECODEC_KIND_ZONE = 1, /* zone file */
    NAMECODEC_KIND_NAMED_CONF = 2, /* name server configuration (named.conf) */
    NAMECODEC_KIND_WEB_SERVER = 3, /* web-server configuration (virtual hosts) */
    NAMECODEC_KIND_GENERAL = 4 /* any other text */
};

/* ConvertFile for a caller that knows the file's kind (a NAMECODEC_KIND_*
 * value), so that a file is never scanned by the wrong syntax because its
 * start looks like another kind. With NAMECODEC_KIND_AUTO it is ConvertFile.
 * An unknown kind fails with NAMECODEC_E_ARGUMENT and *error_line 1. */
NAMECODEC_API int ConvertFileAs(
    const char *in_path, const char *out_path, int from, int to, int keep_comment, int kind, int *error_line);

/* Names of the encoding codes ("-EucKr", "-UTF", "-PUNY", "-RACE", "-EucKr");
 * NULL for a code outside 0..4. */
NAMECODEC_API const char *NamecodecEncodingName(int code);

#ifdef __cplusplus
}
#endif

#endif
