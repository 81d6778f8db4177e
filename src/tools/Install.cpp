#include "tools/Install.h"

#include "platform/core/DesktopEntry.h"
#include "platform/gui/Help.h"
#include "platform/gui/ProgramIcons.h"
#include "common/RegistryNames.h"
#include "platform/core/SaveFile.h"
#include "platform/core/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <vector>

namespace tools {

using platform::Registry;
using platform::RootKey;
using platform::ValueType;

namespace {

[[noreturn]] void fail(const QString& text)
{
    throw InstallError(text.toStdString());
}

constexpr QFileDevice::Permissions kReadable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
constexpr QFileDevice::Permissions kRunnable =
    kReadable | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

// Whatever umask the installation runs under, what it makes is written by its owner
// alone; the folders and files it creates on the way get the same.
class NoWritingByOthers {
public:
    NoWritingByOthers()
        : m_old(::umask(022))
    {
        ::umask(m_old | 022);
    }
    ~NoWritingByOthers() { ::umask(m_old); }
    NoWritingByOthers(const NoWritingByOthers&) = delete;
    NoWritingByOthers& operator=(const NoWritingByOthers&) = delete;

private:
    mode_t m_old;
};

// A folder of ours loses the access bits in `closed`: an earlier installation under
// another umask may have left it open.
void makeFolder(const QString& path, mode_t closed = 022)
{
    if (!QDir().mkpath(path))
        fail(QStringLiteral("Cannot create the folder \"%1\"").arg(path));
    const QByteArray native = QFile::encodeName(path);
    struct stat info { };
    if (::stat(native.constData(), &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & closed) != 0
        && ::chmod(native.constData(), info.st_mode & 07777 & ~closed) != 0)
        fail(QStringLiteral("Cannot close the folder \"%1\" to other users").arg(path));
}

// Through a temporary file and a rename, so a running program keeps its old file and
// an interrupted install leaves no half-written one.
void writeFile(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions = kReadable)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    if (!file.setPermissions(permissions))
        fail(QStringLiteral("Cannot set the permissions of \"%1\": %2").arg(path, file.errorString()));
    QString reason;
    if (!platform::commitWhole(file, &reason))
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(path, reason));
}

void copyReplacing(const QString& from, const QString& to, QFileDevice::Permissions permissions)
{
    if (QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath())
        return;
    const QString temporary = to + QStringLiteral(".installing");
    QFile::remove(temporary);
    if (!QFile::copy(from, temporary))
        fail(QStringLiteral("Cannot copy \"%1\" to \"%2\"").arg(from, temporary));
    // The copy has the mode of the built file, which the build's umask made.
    if (!QFile::setPermissions(temporary, permissions)) {
        QFile::remove(temporary);
        fail(QStringLiteral("Cannot set the permissions of \"%1\"").arg(temporary));
    }
    // rename(2) replaces the target at once, even while it is running.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(to).constData()) != 0) {
        QFile::remove(temporary);
        fail(QStringLiteral("Cannot replace \"%1\"").arg(to));
    }
}

void appendLittleEndian(QByteArray& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

QString unexpectedTypeNote(const QString& key, const QString& name)
{
    return QStringLiteral("The registry value \"%1\" under \"%2\" has an unexpected type; it was left as it is.")
        .arg(name, key);
}

// Writes a value only when it is missing; a value there with another type is the
// user's and stays, with a note.
void writeWhenMissing(Registry& registry, RootKey root, const char* key, const char* name, ValueType type,
                      const std::function<void()>& write, QStringList& notes)
{
    registry.setRootKey(root);
    if (!registry.openKey(key, true))
        fail(QStringLiteral("Cannot create the registry key \"%1\"").arg(key));
    const ValueType present = registry.valueType(name);
    if (present == ValueType::None)
        write();
    else if (present != type)
        notes << unexpectedTypeNote(key, name);
    registry.closeKey();
}

}  // namespace

QString defaultProgramFolder()
{
    return platform::xdgDataHome() + QStringLiteral("/dialtally");
}

QStringList writeMenuEntries(const QString& programFolder, const QString& dataHome)
{
    struct Program {
        const char* file;
        platform::DesktopEntry (*entry)(const QString&);
        QImage (*icon)(int);
    };
    const Program programs[] = {
        {"Dialtally", platform::dialtallyEntry, platform::dialtallyIcon},
        {"Postpeek", platform::postpeekEntry, platform::postpeekIcon},
    };
    QStringList written;
    for (const Program& program : programs) {
        const QString path = programFolder + QLatin1Char('/') + QString::fromLatin1(program.file);
        const platform::DesktopEntry entry = program.entry(path);
        const QString entryFile = dataHome + QStringLiteral("/applications/") + entry.icon + QStringLiteral(".desktop");
        if (!QFileInfo(path).isFile()) {
            if (QFileInfo::exists(entryFile) && !QFile::remove(entryFile))
                fail(QStringLiteral("Cannot remove \"%1\"").arg(entryFile));
            continue;
        }
        // The icons first: a menu that finds the entry finds its picture too.
        for (int size : kIconSizes) {
            const QString folder = QStringLiteral("%1/icons/hicolor/%2x%2/apps").arg(dataHome).arg(size);
            makeFolder(folder);
            const QString file = folder + QLatin1Char('/') + entry.icon + QStringLiteral(".png");
            QSaveFile out(file);
            if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(kReadable)
                || !program.icon(size).save(&out, "PNG"))
                fail(QStringLiteral("Cannot write \"%1\": %2").arg(file, out.errorString()));
            QString reason;
            if (!platform::commitWhole(out, &reason))
                fail(QStringLiteral("Cannot write \"%1\": %2").arg(file, reason));
        }
        QString error;
        if (!platform::writeDesktopEntry(entryFile, entry, &error))
            fail(error);
        written << entryFile;
    }
    return written;
}

QByteArray alarmWave()
{
    constexpr int rate = 22050;
    constexpr int tones = 6;
    constexpr int toneSamples = rate * 12 / 100;  // 0.12 s each
    constexpr int fadeSamples = rate / 200;  // 5 ms, so the switches do not click
    constexpr double amplitude = 0.6 * 32767;
    const double frequencies[2] = {880.0, 660.0};

    QByteArray samples;
    samples.reserve(qsizetype{tones} * toneSamples * 2);
    for (int tone = 0; tone < tones; ++tone) {
        const double frequency = frequencies[tone % 2];
        for (int i = 0; i < toneSamples; ++i) {
            const int edge = std::min(i, toneSamples - 1 - i);
            const double envelope = edge < fadeSamples ? double(edge) / fadeSamples : 1.0;
            const double value = amplitude * envelope * std::sin(2 * std::numbers::pi * frequency * i / rate);
            appendLittleEndian(samples, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value))), 2);
        }
    }

    QByteArray wave("RIFF");
    appendLittleEndian(wave, 36 + samples.size(), 4);
    wave.append("WAVEfmt ");
    appendLittleEndian(wave, 16, 4);  // fmt chunk size
    appendLittleEndian(wave, 1, 2);  // PCM
    appendLittleEndian(wave, 1, 2);  // mono
    appendLittleEndian(wave, rate, 4);
    appendLittleEndian(wave, rate * 2, 4);  // bytes per second
    appendLittleEndian(wave, 2, 2);  // block align
    appendLittleEndian(wave, 16, 2);  // bits per sample
    wave.append("data");
    appendLittleEndian(wave, samples.size(), 4);
    wave.append(samples);
    return wave;
}

QStringList writeInstallationValues(Registry& registry, const QString& programFolder)
{
    QStringList notes;
    settings::Settings values(registry.store());
    values.set(settings::ProgramPath, programFolder);

    for (const settings::SettingId id : settings::writtenBy(settings::FirstWriter::Installation)) {
        const settings::Definition& v = id.definition();
        if (v.type != settings::Type::Integer)
            continue;  // "Program path", written above whatever was there
        // A value only when it is missing; one there with another type is the user's
        // and stays, with a note.
        const settings::IntegerPlace place{id, QString::fromLatin1(v.key), QString::fromLatin1(v.name)};
        if (!values.makeKey(place))
            fail(QStringLiteral("Cannot create the registry key \"%1\"").arg(place.key));
        const ValueType present = values.storedType(place);
        if (present == ValueType::None)
            values.set(place, v.number);
        else if (present != ValueType::Integer)
            notes << unexpectedTypeNote(place.key, place.name);
    }
    writeWhenMissing(
        registry, RootKey::LocalMachine, regkeys::kRemoteAccessService, regkeys::vRemoteConnection, ValueType::Binary,
        [&] { registry.writeBinaryData(regkeys::vRemoteConnection, QByteArray(4, '\0')); }, notes);
    return notes;
}

QStringList addDialUpEntries(Registry& registry, const QString& peersDir)
{
    QStringList peers;
    const QFileInfoList files = QDir(peersDir).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& file : files) {
        // Editor backups are no peers of their own.
        if (!file.fileName().endsWith(QLatin1Char('~')))
            peers << file.fileName();
    }

    registry.setRootKey(RootKey::CurrentUser);
    if (!registry.openKey(regkeys::kRemoteAccessAddresses, true))
        fail(QStringLiteral("Cannot create the registry key \"%1\"").arg(regkeys::kRemoteAccessAddresses));
    for (const QString& peer : peers)
        if (!registry.valueExists(peer))
            registry.writeString(peer, QString());
    registry.closeKey();

    if (peers.contains(QStringLiteral("provider"))) {
        if (!registry.openKey(regkeys::kRemoteAccess, true))
            fail(QStringLiteral("Cannot create the registry key \"%1\"").arg(regkeys::kRemoteAccess));
        const ValueType type = registry.valueType(regkeys::vDefault);
        if (type == ValueType::None || (type == ValueType::String && registry.readString(regkeys::vDefault).isEmpty()))
            registry.writeString(regkeys::vDefault, QStringLiteral("provider"));
        registry.closeKey();
    }
    return peers;
}

namespace {

// One page per <section id="NAME"> of the help document: the document's head, a link to
// the whole document (documentFileName, one folder up) and the section alone, its links
// to other sections pointing at their pages. The programs open NAME's page for a context
// or a topic.
struct HelpTopicPage {
    QString name;
    QByteArray html;
};

QList<HelpTopicPage> helpTopicPages(const QByteArray& document, const QString& documentFileName)
{
    const QString html = QString::fromUtf8(document);
    const qsizetype bodyAt = html.indexOf(QStringLiteral("<body"));
    const qsizetype bodyEnd = bodyAt < 0 ? -1 : html.indexOf(QLatin1Char('>'), bodyAt);
    if (bodyEnd < 0)
        return {};
    const QString head = html.left(bodyEnd + 1);

    static const QRegularExpression sectionPattern(
        QStringLiteral("<section id=\"([A-Za-z0-9_-]+)\"[^>]*>.*?</section>"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression headingPattern(QStringLiteral("<h2[^>]*>(.*?)</h2>"),
                                                   QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression linkPattern(QStringLiteral("href=\"#([^\"]*)\""));
    static const QRegularExpression titlePattern(QStringLiteral("<title>.*?</title>"),
                                                 QRegularExpression::DotMatchesEverythingOption);

    struct Section {
        QString name;
        QString text;
    };
    QList<Section> sections;
    for (auto it = sectionPattern.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        sections.push_back({match.captured(1), match.captured(0)});
    }
    QStringList names;
    for (const Section& section : sections)
        names << section.name;

    // The pages lie in a folder beside the document.
    const QString wholeDocument =
        QStringLiteral("../") + QString::fromLatin1(QUrl::toPercentEncoding(documentFileName));
    QList<HelpTopicPage> pages;
    for (const Section& section : sections) {
        // A page stands alone: a link to another section goes to that section's page,
        // a link to anything else to the whole document.
        const QString& text = section.text;
        QString linked;
        qsizetype last = 0;
        for (auto it = linkPattern.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch link = it.next();
            const QString target = link.captured(1);
            linked += text.mid(last, link.capturedStart() - last);
            linked += names.contains(target) ? QStringLiteral("href=\"%1.html\"").arg(target)
                                             : QStringLiteral("href=\"%1#%2\"").arg(wholeDocument, target);
            last = link.capturedEnd();
        }
        linked += text.mid(last);

        const QString heading = headingPattern.match(linked).captured(1);
        QString pageHead = head;
        if (!heading.isEmpty())
            pageHead.replace(titlePattern, QStringLiteral("<title>Dialtally Help: %1</title>").arg(heading));
        const QString page = pageHead
                             + QStringLiteral("\n<p class=\"topics\"><a href=\"%1\">Dialtally Help: contents</a></p>\n")
                                   .arg(wholeDocument)
                             + linked + QStringLiteral("\n</body>\n</html>\n");
        pages.push_back({section.name, page.toUtf8()});
    }
    return pages;
}

// The document, and beside it one page per section, the pages the programs open for a
// context or a topic (platform::helpTopicPageFor). Pages of sections that are gone go.
void installHelp(const QString& document, const QString& folder)
{
    QFile file(document);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read \"%1\": %2").arg(document, file.errorString()));
    const QByteArray text = file.readAll();
    file.close();
    copyReplacing(document, folder + QStringLiteral("/Dialtally Help.html"), kReadable);

    const QString helpFile = folder + QStringLiteral("/Dialtally Help.hlp");
    const QString pagesFolder = QFileInfo(platform::helpTopicPageFor(helpFile, QStringLiteral("any"))).path();
    makeFolder(pagesFolder);
    QDir pagesDir(pagesFolder);
    for (const QString& old : pagesDir.entryList({QStringLiteral("*.html")}, QDir::Files))
        pagesDir.remove(old);
    for (const HelpTopicPage& page : helpTopicPages(text, QFileInfo(platform::helpDocumentFor(helpFile)).fileName()))
        writeFile(platform::helpTopicPageFor(helpFile, page.name), page.html);
}

}  // namespace

QStringList install(const InstallOptions& options)
{
    const NoWritingByOthers umaskGuard;
    QStringList notes;
    const QString folder =
        QDir::cleanPath(QDir(options.prefix.isEmpty() ? defaultProgramFolder() : options.prefix).absolutePath());
    makeFolder(folder);
    makeFolder(folder + QStringLiteral("/media"));
    // The reports list the user's connections, as the history does.
    makeFolder(folder + QStringLiteral("/Reports"), 077);

    struct Program {
        const char* name;
        const char* built;
    };
    // The registry tool goes along, so the pppd hooks can call a copy outside the build.
    for (const Program& program : {Program{"Dialtally", "dialtally/Dialtally"}, Program{"Postpeek", "postpeek/Postpeek"},
                                   Program{"dialtally-reg", "tools/dialtally-reg"}}) {
        const QString from = QDir(options.buildDir).filePath(QString::fromLatin1(program.built));
        if (options.buildDir.isEmpty() || !QFileInfo(from).isFile()) {
            notes << QStringLiteral("%1 is not built yet (no \"%2\"); skipped.").arg(program.name, from);
            continue;
        }
        copyReplacing(from, folder + QLatin1Char('/') + QString::fromLatin1(program.name), kRunnable);
    }

    // A sound the user put in place of ours stays, closed to the writing of others.
    const QString wave = folder + QStringLiteral("/media/signal.wav");
    if (!QFileInfo::exists(wave))
        writeFile(wave, alarmWave());
    else if (QFileInfo(wave).ownerId() == ::geteuid())
        QFile::setPermissions(wave, QFile::permissions(wave) & ~(QFileDevice::WriteGroup | QFileDevice::WriteOther));

    const QString help = QDir(options.sourceDir).filePath(QStringLiteral("doc/Dialtally Help.html"));
    if (!options.sourceDir.isEmpty() && QFileInfo(help).isFile())
        installHelp(help, folder);
    else
        notes << QStringLiteral("No help document \"%1\"; skipped.").arg(help);

    writeMenuEntries(folder, options.dataHome.isEmpty() ? platform::xdgDataHome() : options.dataHome);

    Registry registry;
    // All values or none: a failed install must not leave "Program path" without the
    // values the first start reads.
    platform::RegistryTransaction transaction;
    notes << writeInstallationValues(registry, folder);
    if (!QFileInfo(options.peersDir).isDir())
        notes << QStringLiteral("No pppd peers folder \"%1\"; no dial-up entries added.").arg(options.peersDir);
    addDialUpEntries(registry, options.peersDir);
    transaction.commit();
    return notes;
}

QString installUsage()
{
    return QStringLiteral("Usage:\n"
                          "  dialtally-install [--prefix DIR] [--build-dir DIR] [--source-dir DIR] [--peers DIR]\n"
                          "  dialtally-install --ppp-hooks [DIR] [--user NAME] [--prefix DIR] [--reg-tool PATH]\n"
                          "\n"
                          "The first form lays out the program folder (default $XDG_DATA_HOME/dialtally) and\n"
                          "writes the values the programs need and the desktop's menu entries (in\n"
                          "$XDG_DATA_HOME/applications); run it again to update: counters and settings stay.\n"
                          "--peers names the pppd peers folder (default /etc/ppp/peers).\n"
                          "The second form, run as root, writes DIR/ip-up.d/dialtally and DIR/ip-down.d/dialtally\n"
                          "(default DIR /etc/ppp), which report the dial-up line to NAME's store (default: the\n"
                          "user who ran sudo) through PATH (default: dialtally-reg in the program folder that\n"
                          "--prefix names, or else in NAME's default one). NAME must be able to run PATH, and\n"
                          "no one but root and NAME may be able to change it or a folder on its way.\n");
}

std::optional<InstallCommand> parseInstallArguments(const QStringList& arguments, QString& error)
{
    InstallCommand command;
    bool installOption = false;
    bool hookOption = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        auto value = [&](QString& into) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
                error = QStringLiteral("%1 needs an argument").arg(argument);
                return false;
            }
            into = arguments[++i];
            return true;
        };
        bool ok = true;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            command.help = true;
        } else if (argument == QLatin1String("--prefix")) {
            // Both forms: where to install, or which installation's tool the hooks call.
            ok = value(command.options.prefix);
        } else if (argument == QLatin1String("--build-dir")) {
            ok = value(command.options.buildDir);
            installOption = true;
        } else if (argument == QLatin1String("--source-dir")) {
            ok = value(command.options.sourceDir);
            installOption = true;
        } else if (argument == QLatin1String("--peers")) {
            ok = value(command.options.peersDir);
            installOption = true;
        } else if (argument == QLatin1String("--ppp-hooks")) {
            command.pppHooks = true;
            // The folder is optional: the hooks' usual place is the default.
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--")))
                command.pppHooksDir = arguments[++i];
        } else if (argument == QLatin1String("--user")) {
            ok = value(command.user);
            hookOption = true;
        } else if (argument == QLatin1String("--reg-tool")) {
            ok = value(command.regTool);
            hookOption = true;
        } else {
            error = QStringLiteral("unexpected argument \"%1\"").arg(argument);
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
    }
    if (command.pppHooks && installOption) {
        error = QStringLiteral("--ppp-hooks writes only the hooks; run the installation separately");
        return std::nullopt;
    }
    if (hookOption && !command.pppHooks) {
        error = QStringLiteral("--user and --reg-tool go with --ppp-hooks");
        return std::nullopt;
    }
    return command;
}

QString shellQuoted(const QString& word)
{
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./+:@%,=");
    if (!word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) { return plain.contains(c); }))
        return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString programFolderOf(const QString& user)
{
    const passwd* entry = getpwnam(user.toLocal8Bit().constData());
    if (!entry)
        fail(QStringLiteral("There is no user \"%1\"").arg(user));
    if (entry->pw_uid == geteuid())
        return defaultProgramFolder();
    return QFile::decodeName(entry->pw_dir) + QStringLiteral("/.local/share/dialtally");
}

std::optional<bool> userCanRun(const QString& user, const QString& path)
{
    const passwd* entry = getpwnam(user.toLocal8Bit().constData());
    if (!entry)
        return std::nullopt;
    const QByteArray file = QFile::encodeName(path);
    if (entry->pw_uid == geteuid())
        return access(file.constData(), X_OK) == 0;
    if (geteuid() != 0)
        return std::nullopt;

    // The kernel's own answer for that user: every folder on the way and the file's
    // mode, ACLs included. The groups are read before the fork, which leaves the child
    // nothing but system calls to make.
    const uid_t uid = entry->pw_uid;
    const gid_t gid = entry->pw_gid;
    int count = 64;
    std::vector<gid_t> groups(count);
    if (getgrouplist(entry->pw_name, gid, groups.data(), &count) < 0) {
        groups.resize(count);
        if (getgrouplist(entry->pw_name, gid, groups.data(), &count) < 0)
            return std::nullopt;
    }
    groups.resize(count);
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        if (setgroups(groups.size(), groups.data()) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(2);
        _exit(access(file.constData(), X_OK) == 0 ? 0 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

QString changeableByOthers(const QString& user, const QString& path)
{
    const passwd* entry = getpwnam(user.toLocal8Bit().constData());
    if (!entry)
        return QStringLiteral("there is no user \"%1\"").arg(user);
    const uid_t userId = entry->pw_uid;
    const auto trusted = [userId](uid_t owner) { return owner == 0 || owner == userId; };
    const auto ownerName = [](uid_t owner) {
        const passwd* found = getpwuid(owner);
        return found ? QString::fromLocal8Bit(found->pw_name) : QString::number(owner);
    };

    // Every entry from the root down: its owner and its mode decide who may replace
    // it or what it holds. A link is as safe as the folder that holds it; where it
    // leads is checked on the canonical path.
    const auto check = [&](const QString& file) -> QString {
        const QStringList parts = QDir::cleanPath(file).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString at = QStringLiteral("/");
        for (qsizetype i = -1; i < parts.size(); ++i) {
            if (i >= 0)
                at = (at == QLatin1String("/") ? at : at + QLatin1Char('/')) + parts[i];
            struct stat info { };
            if (::lstat(QFile::encodeName(at).constData(), &info) != 0) {
                const int code = errno;
                return QStringLiteral("\"%1\" cannot be looked at (%2)")
                    .arg(at, QString::fromLocal8Bit(std::strerror(code)));
            }
            if (S_ISLNK(info.st_mode))
                continue;
            if (!trusted(info.st_uid))
                return QStringLiteral("\"%1\" belongs to the user \"%2\"").arg(at, ownerName(info.st_uid));
            const bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
            const bool last = i == parts.size() - 1;
            // In a folder such as /tmp anyone may write, but only an entry's owner can
            // remove or rename it; the entry below it is checked in its turn.
            const bool shared = S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0 && !last;
            if (othersWrite && !shared)
                return QStringLiteral("\"%1\" can be written by its group or by any user").arg(at);
        }
        return {};
    };
    const QString named = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString reason = check(named);
    const QString canonical = QFileInfo(named).canonicalFilePath();
    if (reason.isEmpty() && !canonical.isEmpty() && canonical != named)
        reason = check(canonical);
    return reason;
}

QStringList writePppHooks(const QString& dir, const QString& user, const QString& regTool)
{
    if (user.isEmpty() || !getpwnam(user.toLocal8Bit().constData()))
        fail(QStringLiteral("There is no user \"%1\" to run the pppd hooks as").arg(user));
    const QFileInfo tool(regTool);
    if (!tool.isAbsolute() || !tool.isFile() || !tool.isExecutable())
        fail(QStringLiteral("The registry tool \"%1\" is not an executable file; install Dialtally first "
                            "(dialtally-install), or name its program folder with --prefix")
                 .arg(regTool));
    // Hooks that call a tool their user cannot reach fail at every connection, long
    // after this command said it was done.
    const std::optional<bool> runnable = userCanRun(user, regTool);
    if (!runnable)
        fail(QStringLiteral("Cannot check whether \"%1\" may run \"%2\"; write the hooks as root").arg(user, regTool));
    if (!*runnable)
        fail(QStringLiteral("The user \"%1\" cannot run \"%2\" (a folder on its way is closed to that user); "
                            "install Dialtally in a folder that user can reach and name it with --prefix")
                 .arg(user, regTool));
    // pppd runs the hooks as root: whoever could change the tool would run a program
    // of their own as root, or as the hooks' user.
    const QString changeable = changeableByOthers(user, regTool);
    if (!changeable.isEmpty()) {
        const bool asRoot = getpwnam(user.toLocal8Bit().constData())->pw_uid == 0;
        fail(asRoot ? QStringLiteral("The pppd hooks would run \"%1\" as root, but %2. Only a tool that no one "
                                     "but root can change runs as root: install Dialtally as root and name its "
                                     "program folder with --prefix")
                          .arg(regTool, changeable)
                    : QStringLiteral("The pppd hooks would run \"%1\" as \"%2\", but %3. Install Dialtally as "
                                     "\"%2\" in a folder that no one else can change, and name it with --prefix")
                          .arg(regTool, user, changeable));
    }

    const NoWritingByOthers umaskGuard;
    QStringList written;
    for (const char* hook : {"ip-up.d", "ip-down.d"}) {
        const QString name = QStringLiteral("%1/dialtally").arg(hook);
        QFile templateFile(QStringLiteral(":/ppp/") + name);
        if (!templateFile.open(QIODevice::ReadOnly))
            fail(QStringLiteral("The hook template \"%1\" is missing from the program").arg(name));
        QString script = QString::fromUtf8(templateFile.readAll());
        script.replace(QStringLiteral("@DIALTALLY_USER@"), shellQuoted(user));
        script.replace(QStringLiteral("@DIALTALLY_REG@"), shellQuoted(regTool));
        makeFolder(QDir(dir).filePath(QString::fromLatin1(hook)));
        const QString path = QDir(dir).filePath(name);
        writeFile(path, script.toUtf8(), kRunnable);
        written << path;
    }
    return written;
}

}  // namespace tools
