/*
 * libnamecodec is built with hidden symbols: only declarations marked
 * NAMECODEC_API are part of its ABI, so its internals can change without
 * breaking the programs that link it.
 */
#ifndef NAMECODEC_EXPORT_H
#define NAMECODEC_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define NAMECODEC_API __attribute__((visibility("default")))
#else
#define NAMECODEC_API
#endif

#endif
