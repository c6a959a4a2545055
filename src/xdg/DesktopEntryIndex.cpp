#include "xdg/DesktopEntryIndex.h"

#include "xdg/DesktopEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// The size scalable icons are drawn at.
constexpr int scalableSize = 128;

// The locale that names are chosen for: the one of messages, as the C library decides it.
QString messagesLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString locale = qEnvironmentVariable(variable);
        if (!locale.isEmpty())
            return locale;
    }
    return QString();
}

} // namespace

DesktopEntryIndex::DesktopEntryIndex()
    : DesktopEntryIndex(XdgBaseDirs(), messagesLocale()) {}

DesktopEntryIndex::DesktopEntryIndex(XdgBaseDirs dirs, QString locale)
    : m_dirs(std::move(dirs))
    , m_locale(std::move(locale)) {}

QStringList DesktopEntryIndex::dataDirs() const {
    return QStringList{m_dirs.dataHome()} + m_dirs.dataDirs();
}

QList<QDateTime> DesktopEntryIndex::folderStamps() const {
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
            // A hidden entry counts as deleted: it hides those of its id behind it and names nothing.
            const auto parsed = DesktopEntry::read(path);
            if (!parsed || parsed->boolean(u"Hidden"_s).value_or(false))
                continue;
            const Entry entry{parsed->localizedValue(u"Name"_s, m_locale), parsed->value(u"Icon"_s)};
            const QString wmClass = parsed->value(u"StartupWMClass"_s);
            if (!wmClass.isEmpty() && !m_byWmClass.contains(wmClass))
                m_byWmClass.insert(wmClass, entry);
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
