#include "xdg/DesktopEntryIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// The size scalable icons are drawn at.
constexpr int scalableSize = 128;

struct Parsed {
    QString name;
    QString icon;
    QString wmClass;
    bool hidden = false;
};

std::optional<Parsed> parse(const QString& path) {
    QFile file(path);
    if (file.size() > 1024 * 1024 || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    const QString locale = QLocale::system().name(); // e.g. de_DE
    const QString language = locale.section(u'_', 0, 0);
    QString localeName, languageName;
    Parsed parsed;
    bool inMain = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMain = line == "[Desktop Entry]"_L1;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inMain || eq <= 0 || line.startsWith(u'#'))
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == "Name"_L1)
            parsed.name = value;
        else if (key == u"Name["_s + locale + u']')
            localeName = value;
        else if (key == u"Name["_s + language + u']')
            languageName = value;
        else if (key == "Icon"_L1)
            parsed.icon = value;
        else if (key == "StartupWMClass"_L1)
            parsed.wmClass = value;
        else if (key == "Hidden"_L1)
            parsed.hidden = value == "true"_L1;
    }
    if (!localeName.isEmpty())
        parsed.name = localeName;
    else if (!languageName.isEmpty())
        parsed.name = languageName;
    return parsed;
}

} // namespace

QStringList DesktopEntryIndex::dataDirs() {
    QStringList dirs;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + u"/.local/share"_s;
    dirs << home;
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = u"/usr/local/share:/usr/share"_s;
    for (const QString& dir : system.split(u':', Qt::SkipEmptyParts))
        dirs << dir;
    return dirs;
}

QList<QDateTime> DesktopEntryIndex::folderStamps() {
    QList<QDateTime> stamps;
    for (const QString& dataDir : dataDirs())
        stamps.append(QFileInfo(dataDir + u"/applications"_s).lastModified());
    return stamps;
}

void DesktopEntryIndex::rebuild() {
    m_byWmClass.clear();
    m_byFileName.clear();
    m_stamps = folderStamps();
    m_built = true;
    QSet<QString> seenIds;
    for (const QString& dataDir : dataDirs()) {
        const QString root = dataDir + u"/applications"_s;
        QDirIterator it(root, {u"*.desktop"_s}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            // The desktop-file id: the path below applications/ with '/' as '-'; the first folder wins.
            const QString id = QDir(root).relativeFilePath(path).replace(u'/', u'-');
            if (seenIds.contains(id))
                continue;
            seenIds.insert(id);
            const auto parsed = parse(path);
            if (!parsed || parsed->hidden)
                continue;
            const Entry entry{parsed->name, parsed->icon};
            if (!parsed->wmClass.isEmpty() && !m_byWmClass.contains(parsed->wmClass))
                m_byWmClass.insert(parsed->wmClass, entry);
            const QString fileName = QFileInfo(path).completeBaseName().toLower();
            if (!m_byFileName.contains(fileName))
                m_byFileName.insert(fileName, entry);
        }
    }
}

void DesktopEntryIndex::prepare() {
    // Installing or removing an application touches its folder: read them again only then.
    if (!m_built || folderStamps() != m_stamps)
        rebuild();
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::find(const QString& windowClass) {
    if (windowClass.isEmpty())
        return std::nullopt;
    prepare();
    if (auto it = m_byWmClass.constFind(windowClass); it != m_byWmClass.cend())
        return *it;
    if (auto it = m_byFileName.constFind(windowClass.toLower()); it != m_byFileName.cend())
        return *it;
    return std::nullopt;
}

QImage DesktopEntryIndex::loadIcon(const QString& icon) const {
    if (icon.isEmpty())
        return {};
    if (QFileInfo(icon).isAbsolute())
        return QImage(icon);
    if (icon.contains(u'/'))
        return {};
    for (const QString& dataDir : dataDirs()) {
        // hicolor holds every application's icons by size ("48x48"): take the largest bitmap.
        const QDir hicolor(dataDir + u"/icons/hicolor"_s);
        int bestSize = 0;
        QString bestPath;
        for (const QString& sizeDir : hicolor.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const int size = sizeDir.section(u'x', 0, 0).toInt();
            const QString path = hicolor.filePath(sizeDir + u"/apps/"_s + icon + u".png"_s);
            if (size > bestSize && QFileInfo::exists(path)) {
                bestSize = size;
                bestPath = path;
            }
        }
        // A scalable icon drawn large beats a small bitmap.
        const QString scalable = hicolor.filePath(u"scalable/apps/"_s + icon + u".svg"_s);
        // Drawing an SVG may lay out text, which needs the application's fonts: only in a GUI process.
        const bool canDraw = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
        if (bestSize < scalableSize && canDraw && QFileInfo::exists(scalable)) {
            QImageReader reader(scalable);
            reader.setScaledSize(QSize(scalableSize, scalableSize));
            const QImage image = reader.read();
            if (!image.isNull())
                return image;
        }
        if (!bestPath.isEmpty())
            return QImage(bestPath);
        for (const char* suffix : {".png", ".xpm"}) {
            const QString path = dataDir + u"/pixmaps/"_s + icon + QLatin1StringView(suffix);
            if (QFileInfo::exists(path))
                return QImage(path);
        }
    }
    return {};
}
