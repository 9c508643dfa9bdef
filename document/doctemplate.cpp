#include "document/doctemplate.h"

#include "document/filenamekind.h"
#include "document/quoreldoc.h"
#include "platform/quorelids.h"

#include <QFileInfo>

QString CDocTemplate::untitledTitle() const
{
    return docName + QString::number(m_untitledCount + 1);
}

bool CDocTemplate::matchesExtension(const QString &path) const
{
    if (extension.isEmpty())
        return false;
    return path.endsWith(extension, Qt::CaseInsensitive);
}

QList<QPointer<CQuorelDoc>> CDocTemplate::documents() const
{
    QList<QPointer<CQuorelDoc>> live;
    for (const auto &doc : m_docs) {
        if (doc)
            live << doc;
    }
    return live;
}

void CDocTemplate::addDocument(CQuorelDoc *doc)
{
    m_docs << QPointer<CQuorelDoc>(doc);
}

void CDocTemplate::removeDocument(CQuorelDoc *doc)
{
    m_docs.removeIf([doc](const QPointer<CQuorelDoc> &p) { return !p || p.data() == doc; });
}

CDocTemplates::CDocTemplates()
{
    auto make = [this](int id, const char *docName, const char *newName, const char *filter, const char *ext,
                    const char *typeId, const char *typeName) {
        auto t = std::make_unique<CDocTemplate>();
        t->id = id;
        t->docName = QString::fromUtf8(docName);
        t->newName = QString::fromUtf8(newName);
        t->filterName = QString::fromUtf8(filter);
        t->extension = QString::fromUtf8(ext);
        t->fileTypeId = QString::fromUtf8(typeId);
        t->fileTypeName = QString::fromUtf8(typeName);
        m_created.push_back(std::move(t));
    };
    make(ids::templ::kGeneral, "파일", "일반 파일", "모든 파일  (*.*)", "", "Document", "일반 Document");
    make(ids::templ::kZone, "네임 존파일", "도메인 존파일", "도메인 존파일  (*.zone)", ".zone",
        "Zone.Document", "Zone Document");
    make(ids::templ::kReverseZone, "리버스 존파일", "리버스 존파일", "리버스 존파일  (*.zone)", ".zone",
        "zone.Document", "Zone Document");
    make(ids::templ::kNamedConf, "네임 설정파일", "도메인 conf 파일", "도메인 conf 파일  (*.conf)", ".conf",
        "Conf.Document", "Conf Document");
    make(ids::templ::kVirtualHost, "가상호스트 설정파일", "가상호스트 conf 파일",
        "가상호스트 conf 파일  (*.conf)", ".conf", "Conf.Document", "Conf Document");
    // The general template is made first but registered last.
    for (int id : {ids::templ::kZone, ids::templ::kReverseZone, ids::templ::kNamedConf,
             ids::templ::kVirtualHost, ids::templ::kGeneral})
        m_registered.push_back(byId(id));
}

CDocTemplate *CDocTemplates::byId(int id) const
{
    for (const auto &t : m_created) {
        if (t->id == id)
            return t.get();
    }
    return nullptr;
}

CDocTemplate *CDocTemplates::forPath(const QString &path) const
{
    const QString name = QFileInfo(path).fileName();
    for (CDocTemplate *t : m_registered) {
        if (t->matchesExtension(name))
            return t;
    }
    if (FileNameKind::isNamedConfName(name))
        return byId(ids::templ::kNamedConf);
    if (FileNameKind::isZoneName(name))
        return byId(ids::templ::kZone);
    return m_registered.front();
}

QString CDocTemplates::openFilter() const
{
    // The prompt opens on every kind of file the editor works with, so a
    // user looking for a .conf or .txt file does not first have to find
    // the filter list. BIND's packages name their files without those
    // extensions: "db.example.com", "named.conf.local".
    QStringList patterns {QStringLiteral("*.zone"), QStringLiteral("*.rev"), QStringLiteral("*.conf"),
        QStringLiteral("*.txt"), QStringLiteral("db.*"), QStringLiteral("named.*")};
    for (CDocTemplate *t : m_registered) {
        const QString pattern = QLatin1Char('*') + t->extension;
        if (!t->extension.isEmpty() && !patterns.contains(pattern))
            patterns << pattern;
    }
    QStringList filters {allSupportedFilterName() + QStringLiteral("  (") + patterns.join(QLatin1Char(' '))
        + QLatin1Char(')')};
    for (CDocTemplate *t : m_registered) {
        if (!t->extension.isEmpty())
            filters << t->filterName;
        if (t->id == ids::templ::kReverseZone)
            filters << QStringLiteral("BIND 존파일  (db.*)");
    }
    // "*.*" passes over a name without a dot ("hosts", "Makefile").
    filters << byId(ids::templ::kGeneral)->filterName << QStringLiteral("모든 파일 (*)");
    return filters.join(QStringLiteral(";;"));
}
