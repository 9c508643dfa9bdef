#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class CQuorelDoc;

// One kind of document: its resource id and document strings, the number of
// untitled documents it has made and the documents it has open.
class CDocTemplate {
public:
    int id = 0;
    QString docName; // base of untitled titles, e.g. "네임 존파일"
    QString newName; // listed by the new-file chooser
    QString filterName; // "도메인 존파일  (*.zone)"
    QString extension; // ".zone", empty for the general kind
    QString fileTypeId;
    QString fileTypeName;

    // Title of the next untitled document: the document name followed by a
    // running number (파일1, 파일2, ...); the number is used up only when the
    // new document was made.
    QString untitledTitle() const;
    void countUntitled() { ++m_untitledCount; }
    bool matchesExtension(const QString &path) const;

    QList<QPointer<CQuorelDoc>> documents() const;
    void addDocument(CQuorelDoc *doc);
    void removeDocument(CQuorelDoc *doc);

private:
    int m_untitledCount = 0;
    QList<QPointer<CQuorelDoc>> m_docs;
};

// The five templates, kept in registration order (131, 149, 132, 133, 130):
// the order of the new-file chooser, of the open prompt's filters, and of the
// search that gives a path its kind.
class CDocTemplates {
public:
    CDocTemplates();
    CDocTemplates(const CDocTemplates &) = delete;
    CDocTemplates &operator=(const CDocTemplates &) = delete;

    const std::vector<CDocTemplate *> &registered() const { return m_registered; }
    CDocTemplate *byId(int id) const;
    // The first registered template whose extension matches; else the
    // domain conf template for "named.conf.*" and the zone template for
    // "db.*"; else the first registered one.
    CDocTemplate *forPath(const QString &path) const;
    // Filters for the open prompt: every supported kind together first (the
    // one the prompt starts with), then each template in registration
    // order with BIND's zone file names after the zone kinds, all files
    // last.
    QString openFilter() const;
    static QString allSupportedFilterName() { return QStringLiteral("지원하는 모든 파일"); }

private:
    std::vector<std::unique_ptr<CDocTemplate>> m_created; // creation order 130, 131, 149, 132, 133
    std::vector<CDocTemplate *> m_registered;
};
