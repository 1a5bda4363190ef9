// The language choice, the id tables and the texts as a recipient sees them.
#include "texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using orx::LanguageForLangId;
using orx::MessageText;
using orx::WindowText;

std::u16string Text(const char16_t* p) { return p; }

TEST(LanguageChoice, ExactIdsSelectTheirLanguage) {
  struct Case {
    std::uint16_t id;
    int language;
  } cases[] = {
      {0x0409, orx::kEnglish}, {0x0809, orx::kEnglish},
      {0x0410, orx::kItalian}, {0x0810, orx::kItalian},
      {0x0404, orx::kChineseTraditional}, {0x1004, orx::kChineseTraditional},
      {0x0804, orx::kChineseSimplified}, {0x0C04, orx::kChineseSimplified},
      {0x1404, orx::kChineseSimplified},
      {0x040C, orx::kFrench}, {0x0C0C, orx::kFrench}, {0x180C, orx::kFrench},
      {0x0407, orx::kGerman}, {0x0C07, orx::kGerman}, {0x1407, orx::kGerman},
      {0x040A, orx::kSpanish}, {0x080A, orx::kSpanish}, {0x4C0A, orx::kSpanish},
      {0x500A, orx::kSpanish},
      {0x0413, orx::kDutch}, {0x0813, orx::kDutch},
      {0x0416, orx::kPortuguese}, {0x0816, orx::kPortuguese},
      {0x041D, orx::kSwedish}, {0x081D, orx::kSwedish},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LanguageForLangId(c.id), c.language) << std::hex << c.id;
  }
}

TEST(LanguageChoice, EveryOtherIdIsEnglish) {
  // Japanese and Korean have no texts; neutral ids (sublanguage 0) and
  // sublanguages past each language's last listed one are not matched.
  for (std::uint16_t id : {0x0411, 0x0412, 0x0007, 0x000A, 0x0004, 0x000C, 0x0010, 0x0016,
                           0x001D, 0x0013, 0x540A, 0x1C0C, 0x1807, 0x0C10, 0x0C13, 0x0C16,
                           0x0C1D, 0x1804, 0x0000, 0xFFFF, 0x0C09}) {
    EXPECT_EQ(LanguageForLangId(id), orx::kEnglish) << std::hex << id;
  }
  // Exhaustively: exactly the 44 listed ids choose something else.
  int chosen = 0;
  for (unsigned id = 0; id <= 0xFFFF; ++id) {
    if (LanguageForLangId(static_cast<std::uint16_t>(id)) != orx::kEnglish) ++chosen;
  }
  EXPECT_EQ(chosen, 2 + 2 + 3 + 6 + 5 + 20 + 2 + 2 + 2);
}

TEST(TextTables, IrregularRowsAndEveryIdUsedOnce) {
  EXPECT_EQ(orx::WindowTextId(orx::kChineseTraditional, orx::kTextOk), 18);
  EXPECT_EQ(orx::WindowTextId(orx::kChineseTraditional, orx::kTextCancel), 19);
  EXPECT_EQ(orx::MessageTextId(orx::kChineseTraditional, orx::kTextWrongPassword), 14);
  EXPECT_EQ(orx::MessageTextId(orx::kChineseTraditional, orx::kTextOverwrite), 17);
  EXPECT_EQ(orx::MessageTextId(orx::kChineseTraditional, orx::kTextDecrypted), 20);
  EXPECT_EQ(orx::MessageTextId(orx::kPortuguese, orx::kTextWrongPassword), 81);
  EXPECT_EQ(orx::WindowTextId(orx::kPortuguese, orx::kTextTitle), 82);
  EXPECT_EQ(orx::MessageTextId(orx::kPortuguese, orx::kTextFailure), 87);

  std::set<int> ids;
  for (int lang = 0; lang < orx::kLanguageCount; ++lang) {
    std::set<int> block;
    for (int slot = 0; slot < orx::kSlotsPerTable; ++slot) {
      block.insert(orx::WindowTextId(lang, slot));
      block.insert(orx::MessageTextId(lang, slot));
    }
    // A language's ten texts are one block of ten consecutive ids.
    ASSERT_EQ(block.size(), 10u) << lang;
    EXPECT_EQ(*block.rbegin() - *block.begin(), 9) << lang;
    EXPECT_EQ(*block.begin() % 10, 1) << lang;
    ids.insert(block.begin(), block.end());
  }
  EXPECT_EQ(ids.size(), 100u);
  EXPECT_EQ(*ids.begin(), 1);
  EXPECT_EQ(*ids.rbegin(), 100);
}

TEST(TextTables, OutOfRangeGivesEmptyText) {
  EXPECT_EQ(orx::WindowTextId(-1, 0), 0);
  EXPECT_EQ(orx::WindowTextId(10, 0), 0);
  EXPECT_EQ(orx::MessageTextId(0, 6), 0);
  EXPECT_EQ(orx::MessageTextId(10, orx::kTextNotMarked), 0);
  EXPECT_EQ(Text(orx::TextById(0)), u"");
  EXPECT_EQ(Text(orx::TextById(111)), u"");
  EXPECT_EQ(Text(WindowText(12, orx::kTextTitle)), u"");
  EXPECT_EQ(Text(orx::CancelLabel(-1)), u"");
  EXPECT_EQ(Text(orx::CancelLabel(10)), u"");
  for (int id = 1; id <= 110; ++id) EXPECT_NE(Text(orx::TextById(id)), u"") << id;
}

// The stub's Cancel label, widened while compiling, is the dialog's own in
// every language (the Chinese ones test the widening of three-byte UTF-8).
TEST(Texts, CancelLabelWithoutThePoolIsTheDialogsOwn) {
  for (int lang = 0; lang < orx::kLanguageCount; ++lang) {
    EXPECT_EQ(Text(orx::CancelLabel(lang)), Text(WindowText(lang, orx::kTextCancel))) << lang;
  }
}

TEST(Texts, EncodedAsUtf16CodePoints) {
  // Pinned by code point, so that a wrong source or execution character set
  // cannot pass unnoticed.
  EXPECT_EQ(Text(orx::TextById(11)), std::u16string({0x6A94, 0x6848, 0x89E3, 0x5BC6}));
  EXPECT_EQ(Text(orx::TextById(21)), std::u16string({0x6587, 0x4EF6, 0x89E3, 0x5BC6}));
  EXPECT_EQ(Text(orx::TextById(31)).substr(0, 8),
            std::u16string({'E', 'n', 't', 's', 'c', 'h', 'l', 0x00FC}));
  EXPECT_EQ(Text(orx::TextById(82)).substr(10), std::u16string({'a', 0x00E7, 0x00E3, 'o'}));
  EXPECT_EQ(Text(orx::TextById(12)).back(), 0xFF1A);  // full-width colon
  EXPECT_EQ(Text(orx::TextById(58))[0], 0x00A1);      // inverted exclamation mark
}

TEST(Texts, SampleOfEachLanguageAsShipped) {
  EXPECT_EQ(Text(WindowText(orx::kEnglish, orx::kTextTitle)), u"Decryption");
  EXPECT_EQ(Text(WindowText(orx::kEnglish, orx::kTextPrompt)), u"Enter the password :");
  EXPECT_EQ(Text(WindowText(orx::kEnglish, orx::kTextNote)),
            u"Note:\nThe file has been encrypted. You need to get the password from the "
            u"sender to open it.");
  EXPECT_EQ(Text(WindowText(orx::kEnglish, orx::kTextOk)), u"Ok");
  EXPECT_EQ(Text(MessageText(orx::kEnglish, orx::kTextOverwrite)),
            u"File is already exist, overwrtie it?");
  EXPECT_EQ(Text(WindowText(orx::kItalian, orx::kTextCancel)), u"Annulla");
  EXPECT_EQ(Text(WindowText(orx::kChineseTraditional, orx::kTextOk)), u"確認");
  EXPECT_EQ(Text(WindowText(orx::kChineseTraditional, orx::kTextCancel)), u"取消");
  EXPECT_EQ(Text(MessageText(orx::kChineseTraditional, orx::kTextWrongPassword)), u"密碼錯誤！");
  EXPECT_EQ(Text(WindowText(orx::kChineseSimplified, orx::kTextOk)), u"确定");
  EXPECT_EQ(Text(MessageText(orx::kChineseSimplified, orx::kTextOsError)), u"操作系统错误！");
  // Two blanks before the French colon.
  EXPECT_EQ(Text(WindowText(orx::kFrench, orx::kTextPrompt)), u"Entrer le mot de passe  :");
  EXPECT_EQ(Text(MessageText(orx::kGerman, orx::kTextOverwrite)),
            u"Diese Datei ist bereits vorhanden. Datei Überschreiben?");
  EXPECT_EQ(Text(WindowText(orx::kSpanish, orx::kTextCancel)), u"Cancel");
  EXPECT_EQ(Text(WindowText(orx::kDutch, orx::kTextTitle)), u"Bestandsdecodering");
  EXPECT_EQ(Text(WindowText(orx::kPortuguese, orx::kTextTitle)), u"Desencriptação");
  EXPECT_EQ(Text(MessageText(orx::kPortuguese, orx::kTextWrongPassword)), u"Senha errada!");
  EXPECT_EQ(Text(MessageText(orx::kSwedish, orx::kTextDecrypted)),
            u" har avkodats. \nvill du öppna den? \n\n(Denna fil kan innehålla skadlig kod "
            u"eller programvara.)");
}

TEST(Texts, DecryptedMessagesFollowAFileName) {
  const char16_t* expectedStarts[orx::kLanguageCount] = {
      u" has been decrypted. \nWould",  u" è stato decrittografato. \n",
      u" 已經被解密。\n您要開啟該檔案嗎?\n",  u" 已经被解密。\n",
      u" a été décrypté. \nSouhaitez",   u" wurde verschlüsselt. \nMöchten",
      u" ha sido descifrado. \n¿Le",     u" is gedecodeerd. \nWilt u het openen?\n\n (Dit",
      u" foi desencriptado. \nQuer",     u" har avkodats. \nvill",
  };
  for (int lang = 0; lang < orx::kLanguageCount; ++lang) {
    std::u16string text = MessageText(lang, orx::kTextDecrypted);
    std::u16string start = expectedStarts[lang];
    EXPECT_EQ(text.substr(0, start.size()), start) << lang;
    EXPECT_EQ(text.find(u'\r'), std::u16string::npos) << lang;
  }
}

// The message added after the tables: one text per language, in the
// language's own words for the file, its folder and the internet.
TEST(Texts, TheNotMarkedMessageSpeaksEachLanguage) {
  const char16_t* words[orx::kLanguageCount] = {u"folder",  u"cartella", u"資料夾", u"文件夹",
                                                u"dossier", u"Ordner",   u"carpeta", u"map",
                                                u"pasta",   u"Mappen"};
  for (int lang = 0; lang < orx::kLanguageCount; ++lang) {
    EXPECT_EQ(orx::MessageTextId(lang, orx::kTextNotMarked), 101 + lang);
    std::u16string text = MessageText(lang, orx::kTextNotMarked);
    EXPECT_NE(text.find(words[lang]), std::u16string::npos) << lang;
  }
}

TEST(Texts, NotesStartWithTheirOwnLine) {
  const char16_t* heads[orx::kLanguageCount] = {u"Note:",    u"Nota:",  u"注意事項：",
                                                u"注意事项：", u"Remarque :", u"Hinweis:",
                                                u"Nota:",    u"Opmerking:", u"Nota:", u"Obs:"};
  for (int lang = 0; lang < orx::kLanguageCount; ++lang) {
    std::u16string note = WindowText(lang, orx::kTextNote);
    EXPECT_EQ(note.substr(0, note.find(u'\n')), heads[lang]) << lang;
  }
}

}  // namespace
