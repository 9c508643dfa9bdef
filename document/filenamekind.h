#pragma once

#include <QString>

// What a file's name says of its kind where its extension does not: the
// names BIND's packages give their files, which end in a domain or in
// nothing at all. An extension (".zone", ".conf") tells first; these are
// asked only when it does not match.
namespace FileNameKind {

// "db.example.com", "db.local", "db.192.168.1": zone files.
bool isZoneName(const QString &fileName);
// "named.conf.local", "named.conf.options": the name server's configuration
// split over include files. Not every "named.*" file is one ("named.root" is
// a zone of root hints).
bool isNamedConfName(const QString &fileName);

} // namespace FileNameKind
