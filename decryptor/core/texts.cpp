#include "texts.h"

namespace orx {
namespace {

// Exact language ids per language code. Spanish is the one regular run
// (0x040A + n * 0x0400, n = 0..19) and is tested arithmetically below.
struct LangIdRow {
  std::uint16_t id;
  std::uint8_t language;
};
constexpr LangIdRow kLangIds[] = {
    {0x0410, kItalian},           {0x0810, kItalian},
    {0x0404, kChineseTraditional}, {0x1004, kChineseTraditional},
    {0x0804, kChineseSimplified},  {0x0C04, kChineseSimplified},
    {0x1404, kChineseSimplified},
    {0x040C, kFrench}, {0x080C, kFrench}, {0x0C0C, kFrench},
    {0x100C, kFrench}, {0x140C, kFrench}, {0x180C, kFrench},
    {0x0407, kGerman}, {0x0807, kGerman}, {0x0C07, kGerman},
    {0x1007, kGerman}, {0x1407, kGerman},
    {0x0413, kDutch},      {0x0813, kDutch},
    {0x0416, kPortuguese}, {0x0816, kPortuguese},
    {0x041D, kSwedish},    {0x081D, kSwedish},
};

// String ids per language code and slot. Each language owns ten consecutive
// ids, but the Traditional Chinese and Portuguese blocks are not in slot
// order; the rows carry them as they are numbered.
constexpr std::uint8_t kWindowIds[kLanguageCount][kSlotsPerTable] = {
    {1, 2, 3, 4, 5},      {71, 72, 73, 74, 75}, {11, 12, 13, 18, 19},
    {21, 22, 23, 24, 25}, {61, 62, 63, 64, 65}, {31, 32, 33, 34, 35},
    {51, 52, 53, 54, 55}, {41, 42, 43, 44, 45}, {82, 83, 84, 85, 86},
    {91, 92, 93, 94, 95},
};
constexpr std::uint8_t kMessageIds[kLanguageCount][kSlotsPerTable] = {
    {6, 7, 8, 9, 10},     {76, 77, 78, 79, 80}, {14, 15, 16, 17, 20},
    {26, 27, 28, 29, 30}, {66, 67, 68, 69, 70}, {36, 37, 38, 39, 40},
    {56, 57, 58, 59, 60}, {46, 47, 48, 49, 50}, {81, 87, 88, 89, 90},
    {96, 97, 98, 99, 100},
};

// All texts in id order, each ending in a zero. One pool instead of a
// pointer table keeps the program free of a hundred relocated pointers.
// Blanks at either end, double blanks and the spellings are part of the
// texts as shipped; \n is a bare line feed.
constexpr char16_t kPool[] =
    // English
    u"Decryption\0"  // 1 TextTitle
    u"Enter the password :\0"  // 2 TextPrompt
    u"Note:\nThe file has been encrypted. You need to get the password from the sender to open it.\0"  // 3 TextNote
    u"Ok\0"  // 4 TextOk
    u"Cancel\0"  // 5 TextCancel
    u"Wrong password!\0"  // 6 TextWrongPassword
    u"Encryption or decryption processing failure!\0"  // 7 TextFailure
    u"Windows OS error!\0"  // 8 TextOsError
    u"File is already exist, overwrtie it?\0"  // 9 TextOverwrite
    u" has been decrypted. \nWould you want to open it? \n\n(This file may include malicious code.)\0"  // 10 TextDecrypted
    // Chinese (Traditional)
    u"檔案解密\0"  // 11 TextTitle
    u"輸入密碼：\0"  // 12 TextPrompt
    u"注意事項：\n此為加密檔案，你須向發送者取得密碼，方能開啟此檔案。\0"  // 13 TextNote
    u"密碼錯誤！\0"  // 14 TextWrongPassword
    u"加密或解密處理失敗！\0"  // 15 TextFailure
    u"視窗作業系統錯誤！\0"  // 16 TextOsError
    u"檔案已存在，是否覆寫？\0"  // 17 TextOverwrite
    u"確認\0"  // 18 TextOk
    u"取消\0"  // 19 TextCancel
    u" 已經被解密。\n您要開啟該檔案嗎?\n\n（此檔案可能包含惡意程式或軟體）\0"  // 20 TextDecrypted
    // Chinese (Simplified)
    u"文件解密\0"  // 21 TextTitle
    u"输入密码：\0"  // 22 TextPrompt
    u"注意事项：\n此文件为加密文件,请向发送者获取解密密码,方能正常打开此文件。\0"  // 23 TextNote
    u"确定\0"  // 24 TextOk
    u"取消\0"  // 25 TextCancel
    u"密码错误！\0"  // 26 TextWrongPassword
    u"加密或解密处理失败！\0"  // 27 TextFailure
    u"操作系统错误！\0"  // 28 TextOsError
    u"文件已存在，确定覆盖吗？\0"  // 29 TextOverwrite
    u" 已经被解密。\n您要打开该文件吗？\n\n（此文件可能包含恶意代码或软件。）\0"  // 30 TextDecrypted
    // German
    u"Entschlüsselung\0"  // 31 TextTitle
    u"Kennwort eingeben:\0"  // 32 TextPrompt
    u"Hinweis:\nDie Datei wurde verschlüsselt. Um die Datei zu öffnen, benötigen Sie das Kennwort des Senders.\0"  // 33 TextNote
    u"OK\0"  // 34 TextOk
    u"Abbrechen\0"  // 35 TextCancel
    u"Falsches Kennwort!\0"  // 36 TextWrongPassword
    u"Fehler beim Ver- oder Entschlüsseln!\0"  // 37 TextFailure
    u"Windows BS Fehler!\0"  // 38 TextOsError
    u"Diese Datei ist bereits vorhanden. Datei Überschreiben?\0"  // 39 TextOverwrite
    u" wurde verschlüsselt. \nMöchten Sie die Datei öffnen? \n\n(Diese Datei kann schädlichen Code oder schädliche Software enthalten.)\0"  // 40 TextDecrypted
    // Dutch
    u"Bestandsdecodering\0"  // 41 TextTitle
    u"Geef het wachtwoord op :\0"  // 42 TextPrompt
    u"Opmerking:\nHet bestand is gecodeerd. U moet het wachtwoord van de afzender verkrijgen om het bestand te openen.\0"  // 43 TextNote
    u"OK\0"  // 44 TextOk
    u"Annuleren\0"  // 45 TextCancel
    u"Verkeerd wachtwoord!\0"  // 46 TextWrongPassword
    u"Codering of decodering verwerking mislukt!\0"  // 47 TextFailure
    u"Fout Windows besturingssysteem!\0"  // 48 TextOsError
    u"Het bestand bestaat al. Wilt u het overschrijven?\0"  // 49 TextOverwrite
    u" is gedecodeerd. \nWilt u het openen?\n\n (Dit bestand kan kwaadaardige codes of software bevatten.)\0"  // 50 TextDecrypted
    // Spanish
    u"Descifrado de archivos\0"  // 51 TextTitle
    u"Inserte la contraseña :\0"  // 52 TextPrompt
    u"Nota:\nEl archivo se ha cifrado. El remitente debe proporcionarle la contraseña para abrirlo.\0"  // 53 TextNote
    u"Aceptar\0"  // 54 TextOk
    u"Cancel\0"  // 55 TextCancel
    u"Contraseña incorrecta.\0"  // 56 TextWrongPassword
    u"No se pudo realizar el proceso de cifrado o descifrado.\0"  // 57 TextFailure
    u"¡Error del sistema operativo Windows!\0"  // 58 TextOsError
    u"El archivo ya existe. ¿Desea sobrescribirlo?\0"  // 59 TextOverwrite
    u" ha sido descifrado. \n¿Le gustaría abrirlo? \n\n(Este archivo podría incluir código o software malicioso.)\0"  // 60 TextDecrypted
    // French
    u"Décryptage\0"  // 61 TextTitle
    u"Entrer le mot de passe  :\0"  // 62 TextPrompt
    u"Remarque :\nLe fichier a été crypté. Pour pouvoir l'ouvrir, l'envoyeur doit vous fournir le mot de passe.\0"  // 63 TextNote
    u"OK\0"  // 64 TextOk
    u"Annuler\0"  // 65 TextCancel
    u"Mot de passe erroné !\0"  // 66 TextWrongPassword
    u"Echec du processus de cryptage ou de décryptage !\0"  // 67 TextFailure
    u"Erreur de système d'exploitation Windows !\0"  // 68 TextOsError
    u"Le fichier existe déjà. Voulez-vous l'écraser ?\0"  // 69 TextOverwrite
    u" a été décrypté. \nSouhaitez vous l'ouvrir ?\n\n (Ce fichier peut comprendre du code ou du logiciel malveillant.)\0"  // 70 TextDecrypted
    // Italian
    u"Decrittografia\0"  // 71 TextTitle
    u"Immetti password :\0"  // 72 TextPrompt
    u"Nota:\nIl file è stato crittografato. Per aprirlo, richiedere la password al mittente.\0"  // 73 TextNote
    u"OK\0"  // 74 TextOk
    u"Annulla\0"  // 75 TextCancel
    u"Password errata!\0"  // 76 TextWrongPassword
    u"Elaborazione crittografia o decrittografia non riuscita!\0"  // 77 TextFailure
    u"Errore sistema operativo Windows!\0"  // 78 TextOsError
    u"File esistente. Sovrascrivere?\0"  // 79 TextOverwrite
    u" è stato decrittografato. \nAprirlo? \n\n(Il file potrebbe contenere un codice o un software dannoso.)\0"  // 80 TextDecrypted
    // Portuguese
    u"Senha errada!\0"  // 81 TextWrongPassword
    u"Desencriptação\0"  // 82 TextTitle
    u"Introduza a senha :\0"  // 83 TextPrompt
    u"Nota:\nO ficheiro foi encriptado. Terá de obter a senha junto do remetente para abrir o ficheiro.\0"  // 84 TextNote
    u"OK\0"  // 85 TextOk
    u"Cancelar\0"  // 86 TextCancel
    u"Falha no processo de encriptação ou desencriptação!\0"  // 87 TextFailure
    u"Erro do sistema operativo Windows!\0"  // 88 TextOsError
    u"O ficheiro já existe. Quer substitui-lo?\0"  // 89 TextOverwrite
    u" foi desencriptado. \nQuer abri-lo? \n\n(Este ficheiro pode conter código ou software malicioso.)\0"  // 90 TextDecrypted
    // Swedish
    u"Avkryptering av fil\0"  // 91 TextTitle
    u"Ange lösenord:\0"  // 92 TextPrompt
    u"Obs:\nFilen har krypterats. Du måste skaffa lösenordet från avsändaren för att kunna öppna den.\0"  // 93 TextNote
    u"OK\0"  // 94 TextOk
    u"Avbryt\0"  // 95 TextCancel
    u"Fel lösenord!\0"  // 96 TextWrongPassword
    u"Krypterings- eller avkrypteringsprocessen misslyckades!\0"  // 97 TextFailure
    u"Fel i Windows operativsystem!\0"  // 98 TextOsError
    u"Filen existerar redan. Vill du skriva över den?\0"  // 99 TextOverwrite
    u" har avkodats. \nvill du öppna den? \n\n(Denna fil kan innehålla skadlig kod eller programvara.)\0"  // 100 TextDecrypted
    ;

std::uint16_t IdFromTable(const std::uint8_t (*table)[kSlotsPerTable], int language, int slot) {
  if (language < 0 || language >= kLanguageCount || slot < 0 || slot >= kSlotsPerTable) return 0;
  return table[language][slot];
}

}  // namespace

int LanguageForLangId(std::uint16_t langId) {
  if ((langId & 0x3FF) == 0x00A) {  // Spanish, sublanguages 1 to 20
    unsigned sub = langId >> 10;
    return sub >= 1 && sub <= 20 ? kSpanish : kEnglish;
  }
  for (const LangIdRow& row : kLangIds) {
    if (row.id == langId) return row.language;
  }
  return kEnglish;
}

std::uint16_t WindowTextId(int language, int slot) { return IdFromTable(kWindowIds, language, slot); }
std::uint16_t MessageTextId(int language, int slot) { return IdFromTable(kMessageIds, language, slot); }

const char16_t* TextById(int id) {
  if (id < 1 || id > kTextIdCount) return u"";
  const char16_t* p = kPool;
  while (--id > 0) {
    while (*p) ++p;
    ++p;
  }
  return p;
}

const char16_t* WindowText(int language, int slot) { return TextById(WindowTextId(language, slot)); }
const char16_t* MessageText(int language, int slot) { return TextById(MessageTextId(language, slot)); }

}  // namespace orx
