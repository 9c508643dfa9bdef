#pragma once

#include <QString>

// The zone name a zone file most likely belongs to, for the zone checker's
// question: its first $ORIGIN, else the owner of its SOA record when that is
// written out in full, else its file name ("db.example.com" and
// "example.com.zone" both give "example.com"). No trailing dot; empty when
// nothing tells.
QString guessZoneOrigin(const QString &text, const QString &fileName);
