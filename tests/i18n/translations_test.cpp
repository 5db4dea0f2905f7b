// The German catalogue against the code: lupdate, run over the sources into
// a copy of it, finds no text it lacks, none it holds in vain, and none
// unfinished; every translation keeps its source's placeholders, access
// key and the blanks at its ends (fragments are joined to others); the
// compiled catalogue translates.
#include "tests/support/TempDir.h"

#include <QFile>
#include <QRegularExpression>
#include <QTranslator>
#include <QXmlStreamReader>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace {

struct TEntry {
    QString Context, Source, Translation, Type;
};

std::vector<TEntry> ReadCatalogue(const std::string& path) {
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    QXmlStreamReader xml(&file);
    std::vector<TEntry> entries;
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.name() == u"message")
            entries.push_back({context, {}, {}, {}});
        else if (xml.name() == u"source")
            entries.back().Source = xml.readElementText();
        else if (xml.name() == u"translation") {
            entries.back().Type = xml.attributes().value("type").toString();
            entries.back().Translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return entries;
}

std::set<QString> Placeholders(const QString& text) {
    std::set<QString> found;
    for (const auto& m : QRegularExpression("%[1-9]").globalMatch(text))
        found.insert(m.captured());
    return found;
}

bool HasAccessKey(const QString& text) {
    return text.contains(QRegularExpression("&[^&\\s]"));
}

QString Ends(const QString& text) {
    const qsizetype lead = text.size() - QString(text).remove(QRegularExpression("^\\s+")).size();
    const qsizetype trail = text.size() - QString(text).remove(QRegularExpression("\\s+$")).size();
    return text.left(lead) + "|" + text.right(trail);
}

} // namespace

TEST(Translations, TheGermanCatalogueHoldsEveryTextOfTheCodeFinished) {
    TTempDir dir;
    const std::string copy = dir.File("quillet_de.ts");
    std::filesystem::copy_file(QUILLET_TEST_SOURCE_DIR "/i18n/quillet_de.ts", copy);
    const std::string command = std::string("cd '") + QUILLET_TEST_SOURCE_DIR + "' && '" +
                                QUILLET_LUPDATE + "' -silent " + QUILLET_LUPDATE_OPTIONS + " @'" +
                                QUILLET_LUPDATE_LIST + "' -ts '" + copy + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<TEntry> entries = ReadCatalogue(copy);
    EXPECT_GT(entries.size(), 400u);
    for (const TEntry& e : entries) {
        SCOPED_TRACE((e.Context + ": " + e.Source).toStdString());
        // unfinished: new in the code; vanished or obsolete: gone from it.
        EXPECT_EQ(e.Type, "") << "run the build target update_translations and translate";
        EXPECT_EQ(Placeholders(e.Translation), Placeholders(e.Source));
        EXPECT_EQ(HasAccessKey(e.Translation), HasAccessKey(e.Source));
        EXPECT_EQ(Ends(e.Translation), Ends(e.Source));
    }
}

TEST(Translations, TheCompiledGermanCatalogueTranslates) {
    QTranslator german;
    ASSERT_TRUE(german.load("quillet_de", QUILLET_TEST_BINARY_DIR "/bin/translations"));
    EXPECT_EQ(german.translate("SendWorkflow", "Sending cancelled."), "Senden abgebrochen.");
    EXPECT_EQ(german.translate("TFormMain", "&File"), "&Datei");
}
