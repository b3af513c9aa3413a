#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QSet>

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Kestrel: tethered shooting with real cameras (through libgphoto2) and simulated ones."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows these options and ends."));
    const QCommandLineOption cameras(
        QStringLiteral("cameras"),
        QStringLiteral("Which cameras the camera list shows: all (the default), real or "
                       "simulated."),
        QStringLiteral("all|real|simulated"), QStringLiteral("all"));
    const QCommandLineOption camera(
        QStringLiteral("camera"),
        QStringLiteral("Adds a camera autodetection cannot see, by its libgphoto2 model and port, "
                       "e.g. \"Canon EOS 600D@ptpip:192.168.1.20\". May be given more than once."),
        QStringLiteral("MODEL@PORT"));
    // Answered in main() before the application starts; listed here for --help.
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Prints the version and ends."));
    const QCommandLineOption clientView(
        QStringLiteral("client-view"),
        QStringLiteral("Starts the client view (the pictures in a browser, with a key) on PORT "
                       "of every interface address, or of ADDRESS only."),
        QStringLiteral("[ADDRESS:]PORT"));
    parser.addOption(clientView);
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(cameras);
    parser.addOption(camera);

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.outcome = CommandLine::Outcome::Error;
        result.text = parser.errorText() + QStringLiteral("\n");
        return result;
    }
    if (parser.isSet(help)) {
        result.outcome = CommandLine::Outcome::Help;
        result.text = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                QStringLiteral("kestrel"));
        return result;
    }
    result.clientView = parser.value(clientView);
    const QString listing = parser.value(cameras);
    if (listing == QLatin1String("all")) {
        result.cameras.listing = gphoto::Listing::All;
    } else if (listing == QLatin1String("real")) {
        result.cameras.listing = gphoto::Listing::Real;
    } else if (listing == QLatin1String("simulated")) {
        result.cameras.listing = gphoto::Listing::Simulated;
    } else {
        result.outcome = CommandLine::Outcome::Error;
        result.text =
            QStringLiteral("--cameras takes all, real or simulated, not \"%1\".\n").arg(listing);
        return result;
    }
    // A camera named again is the same camera: repeats collapse into its first mention.
    QSet<QString> seen;
    for (const QString& named : parser.values(camera)) {
        if (seen.contains(named)) continue;
        seen.insert(named);
        const qsizetype at = named.lastIndexOf(QLatin1Char('@'));
        if (at <= 0 || at == named.size() - 1) {
            result.outcome = CommandLine::Outcome::Error;
            result.text = QStringLiteral(
                              "--camera takes MODEL@PORT (e.g. \"Canon EOS 600D@"
                              "usb:001,005\"), not \"%1\".\n")
                              .arg(named);
            return result;
        }
        result.cameras.cameras.push_back(named.toStdString());
    }
    return result;
}
