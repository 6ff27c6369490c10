#include "app/FileFilter.h"

#include <QStringList>

QString QtFileFilter(const QString& classic)
{
    // Pairs of description and pattern list; the trailing "||" leaves empty parts.
    const QStringList parts = classic.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    {
        const QString& description = parts[i];
        if (description.isEmpty())
            break;
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

QString FolderOfPath(const QString& path)
{
    const qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
    if (cut < 0)
        return QString();
    if (cut == 0)
        return QStringLiteral("/");
    return path.left(cut);
}
