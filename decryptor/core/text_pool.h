// The decryptor's texts as data: the id tables and the pool of all texts in
// UTF-8, with the helpers that read the pool. Everything here is constexpr,
// so that a program can take what it needs of the texts while compiling
// (the archive stub's Cancel label, cancel_label.cpp) and carry only that;
// texts.cpp hands the texts out at run time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "texts.h"

namespace orx {
namespace text_pool {
// String ids per language code and slot. Each language owns ten consecutive
// ids, but the Traditional Chinese and Portuguese blocks are not in slot
// order; the rows carry them as they are numbered.
inline constexpr std::uint8_t kWindowIds[kLanguageCount][kSlotsPerTable] = {
    {1, 2, 3, 4, 5},      {71, 72, 73, 74, 75}, {11, 12, 13, 18, 19},
    {21, 22, 23, 24, 25}, {61, 62, 63, 64, 65}, {31, 32, 33, 34, 35},
    {51, 52, 53, 54, 55}, {41, 42, 43, 44, 45}, {82, 83, 84, 85, 86},
    {91, 92, 93, 94, 95},
};
inline constexpr std::uint8_t kMessageIds[kLanguageCount][kSlotsPerTable] = {
    {6, 7, 8, 9, 10},     {76, 77, 78, 79, 80}, {14, 15, 16, 17, 20},
    {26, 27, 28, 29, 30}, {66, 67, 68, 69, 70}, {36, 37, 38, 39, 40},
    {56, 57, 58, 59, 60}, {46, 47, 48, 49, 50}, {81, 87, 88, 89, 90},
    {96, 97, 98, 99, 100},
};

// All texts in id order, each ending in a zero. One pool instead of a
// pointer table keeps the program free of a hundred relocated pointers.
// Blanks at either end, double blanks and the spellings are part of the
// texts as shipped; \n is a bare line feed. Kept in UTF-8, which takes half
// the bytes of UTF-16 for all but the Chinese texts, and widened once when
// first asked for (TextById).
inline constexpr char kPool[] =
    // English
    u8"Decryption\0"  // 1 TextTitle
    u8"Enter the password :\0"  // 2 TextPrompt
    u8"Note:\nThe file has been encrypted. You need to get the password from the sender to open it.\0"  // 3 TextNote
    u8"Ok\0"  // 4 TextOk
    u8"Cancel\0"  // 5 TextCancel
    u8"Wrong password!\0"  // 6 TextWrongPassword
    u8"Encryption or decryption processing failure!\0"  // 7 TextFailure
    u8"Windows OS error!\0"  // 8 TextOsError
    u8"File is already exist, overwrtie it?\0"  // 9 TextOverwrite
    u8" has been decrypted. \nWould you want to open it? \n\n(This file may include malicious code.)\0"  // 10 TextDecrypted
    // Chinese (Traditional)
    u8"檔案解密\0"  // 11 TextTitle
    u8"輸入密碼：\0"  // 12 TextPrompt
    u8"注意事項：\n此為加密檔案，你須向發送者取得密碼，方能開啟此檔案。\0"  // 13 TextNote
    u8"密碼錯誤！\0"  // 14 TextWrongPassword
    u8"加密或解密處理失敗！\0"  // 15 TextFailure
    u8"視窗作業系統錯誤！\0"  // 16 TextOsError
    u8"檔案已存在，是否覆寫？\0"  // 17 TextOverwrite
    u8"確認\0"  // 18 TextOk
    u8"取消\0"  // 19 TextCancel
    u8" 已經被解密。\n您要開啟該檔案嗎?\n\n（此檔案可能包含惡意程式或軟體）\0"  // 20 TextDecrypted
    // Chinese (Simplified)
    u8"文件解密\0"  // 21 TextTitle
    u8"输入密码：\0"  // 22 TextPrompt
    u8"注意事项：\n此文件为加密文件,请向发送者获取解密密码,方能正常打开此文件。\0"  // 23 TextNote
    u8"确定\0"  // 24 TextOk
    u8"取消\0"  // 25 TextCancel
    u8"密码错误！\0"  // 26 TextWrongPassword
    u8"加密或解密处理失败！\0"  // 27 TextFailure
    u8"操作系统错误！\0"  // 28 TextOsError
    u8"文件已存在，确定覆盖吗？\0"  // 29 TextOverwrite
    u8" 已经被解密。\n您要打开该文件吗？\n\n（此文件可能包含恶意代码或软件。）\0"  // 30 TextDecrypted
    // German
    u8"Entschlüsselung\0"  // 31 TextTitle
    u8"Kennwort eingeben:\0"  // 32 TextPrompt
    u8"Hinweis:\nDie Datei wurde verschlüsselt. Um die Datei zu öffnen, benötigen Sie das Kennwort des Senders.\0"  // 33 TextNote
    u8"OK\0"  // 34 TextOk
    u8"Abbrechen\0"  // 35 TextCancel
    u8"Falsches Kennwort!\0"  // 36 TextWrongPassword
    u8"Fehler beim Ver- oder Entschlüsseln!\0"  // 37 TextFailure
    u8"Windows BS Fehler!\0"  // 38 TextOsError
    u8"Diese Datei ist bereits vorhanden. Datei Überschreiben?\0"  // 39 TextOverwrite
    u8" wurde verschlüsselt. \nMöchten Sie die Datei öffnen? \n\n(Diese Datei kann schädlichen Code oder schädliche Software enthalten.)\0"  // 40 TextDecrypted
    // Dutch
    u8"Bestandsdecodering\0"  // 41 TextTitle
    u8"Geef het wachtwoord op :\0"  // 42 TextPrompt
    u8"Opmerking:\nHet bestand is gecodeerd. U moet het wachtwoord van de afzender verkrijgen om het bestand te openen.\0"  // 43 TextNote
    u8"OK\0"  // 44 TextOk
    u8"Annuleren\0"  // 45 TextCancel
    u8"Verkeerd wachtwoord!\0"  // 46 TextWrongPassword
    u8"Codering of decodering verwerking mislukt!\0"  // 47 TextFailure
    u8"Fout Windows besturingssysteem!\0"  // 48 TextOsError
    u8"Het bestand bestaat al. Wilt u het overschrijven?\0"  // 49 TextOverwrite
    u8" is gedecodeerd. \nWilt u het openen?\n\n (Dit bestand kan kwaadaardige codes of software bevatten.)\0"  // 50 TextDecrypted
    // Spanish
    u8"Descifrado de archivos\0"  // 51 TextTitle
    u8"Inserte la contraseña :\0"  // 52 TextPrompt
    u8"Nota:\nEl archivo se ha cifrado. El remitente debe proporcionarle la contraseña para abrirlo.\0"  // 53 TextNote
    u8"Aceptar\0"  // 54 TextOk
    u8"Cancel\0"  // 55 TextCancel
    u8"Contraseña incorrecta.\0"  // 56 TextWrongPassword
    u8"No se pudo realizar el proceso de cifrado o descifrado.\0"  // 57 TextFailure
    u8"¡Error del sistema operativo Windows!\0"  // 58 TextOsError
    u8"El archivo ya existe. ¿Desea sobrescribirlo?\0"  // 59 TextOverwrite
    u8" ha sido descifrado. \n¿Le gustaría abrirlo? \n\n(Este archivo podría incluir código o software malicioso.)\0"  // 60 TextDecrypted
    // French
    u8"Décryptage\0"  // 61 TextTitle
    u8"Entrer le mot de passe  :\0"  // 62 TextPrompt
    u8"Remarque :\nLe fichier a été crypté. Pour pouvoir l'ouvrir, l'envoyeur doit vous fournir le mot de passe.\0"  // 63 TextNote
    u8"OK\0"  // 64 TextOk
    u8"Annuler\0"  // 65 TextCancel
    u8"Mot de passe erroné !\0"  // 66 TextWrongPassword
    u8"Echec du processus de cryptage ou de décryptage !\0"  // 67 TextFailure
    u8"Erreur de système d'exploitation Windows !\0"  // 68 TextOsError
    u8"Le fichier existe déjà. Voulez-vous l'écraser ?\0"  // 69 TextOverwrite
    u8" a été décrypté. \nSouhaitez vous l'ouvrir ?\n\n (Ce fichier peut comprendre du code ou du logiciel malveillant.)\0"  // 70 TextDecrypted
    // Italian
    u8"Decrittografia\0"  // 71 TextTitle
    u8"Immetti password :\0"  // 72 TextPrompt
    u8"Nota:\nIl file è stato crittografato. Per aprirlo, richiedere la password al mittente.\0"  // 73 TextNote
    u8"OK\0"  // 74 TextOk
    u8"Annulla\0"  // 75 TextCancel
    u8"Password errata!\0"  // 76 TextWrongPassword
    u8"Elaborazione crittografia o decrittografia non riuscita!\0"  // 77 TextFailure
    u8"Errore sistema operativo Windows!\0"  // 78 TextOsError
    u8"File esistente. Sovrascrivere?\0"  // 79 TextOverwrite
    u8" è stato decrittografato. \nAprirlo? \n\n(Il file potrebbe contenere un codice o un software dannoso.)\0"  // 80 TextDecrypted
    // Portuguese
    u8"Senha errada!\0"  // 81 TextWrongPassword
    u8"Desencriptação\0"  // 82 TextTitle
    u8"Introduza a senha :\0"  // 83 TextPrompt
    u8"Nota:\nO ficheiro foi encriptado. Terá de obter a senha junto do remetente para abrir o ficheiro.\0"  // 84 TextNote
    u8"OK\0"  // 85 TextOk
    u8"Cancelar\0"  // 86 TextCancel
    u8"Falha no processo de encriptação ou desencriptação!\0"  // 87 TextFailure
    u8"Erro do sistema operativo Windows!\0"  // 88 TextOsError
    u8"O ficheiro já existe. Quer substitui-lo?\0"  // 89 TextOverwrite
    u8" foi desencriptado. \nQuer abri-lo? \n\n(Este ficheiro pode conter código ou software malicioso.)\0"  // 90 TextDecrypted
    // Swedish
    u8"Avkryptering av fil\0"  // 91 TextTitle
    u8"Ange lösenord:\0"  // 92 TextPrompt
    u8"Obs:\nFilen har krypterats. Du måste skaffa lösenordet från avsändaren för att kunna öppna den.\0"  // 93 TextNote
    u8"OK\0"  // 94 TextOk
    u8"Avbryt\0"  // 95 TextCancel
    u8"Fel lösenord!\0"  // 96 TextWrongPassword
    u8"Krypterings- eller avkrypteringsprocessen misslyckades!\0"  // 97 TextFailure
    u8"Fel i Windows operativsystem!\0"  // 98 TextOsError
    u8"Filen existerar redan. Vill du skriva över den?\0"  // 99 TextOverwrite
    u8" har avkodats. \nvill du öppna den? \n\n(Denna fil kan innehålla skadlig kod eller programvara.)\0"  // 100 TextDecrypted
    // TextNotMarked, per language code
    u8"The file cannot be marked as coming from the internet: its folder is shown instead.\0"  // 101
    u8"Il file non può essere contrassegnato come proveniente da Internet: viene mostrata la sua cartella.\0"  // 102
    u8"無法將檔案標記為來自網際網路：改為顯示其所在的資料夾。\0"  // 103
    u8"无法将文件标记为来自互联网：改为显示其所在的文件夹。\0"  // 104
    u8"Le fichier ne peut pas être marqué comme provenant d'Internet : son dossier est affiché.\0"  // 105
    u8"Die Datei kann nicht als aus dem Internet stammend markiert werden: Ihr Ordner wird angezeigt.\0"  // 106
    u8"El archivo no se puede marcar como procedente de Internet: se muestra su carpeta.\0"  // 107
    u8"Het bestand kan niet als afkomstig van internet worden gemarkeerd: de map wordt weergegeven.\0"  // 108
    u8"O ficheiro não pode ser marcado como proveniente da Internet: é mostrada a respetiva pasta.\0"  // 109
    u8"Filen kan inte märkas som hämtad från internet. Mappen visas i stället.\0"  // 110
    ;

// Whether `bytes` of UTF-8 are well formed and hold only characters of one
// UTF-16 unit each (sequences of one to three bytes, no surrogates).
constexpr bool IsUtf8OfOneUnitCharacters(const char* text, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes;) {
    unsigned lead = static_cast<unsigned char>(text[i]);
    std::size_t more = lead < 0x80 ? 0 : lead < 0xC2 ? 3 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    if (more == 3 || i + more >= bytes) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    unsigned second = more ? static_cast<unsigned char>(text[i + 1]) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0)) return false;
    i += more + 1;
  }
  return true;
}

// UTF-16 units of `bytes` of such UTF-8: one per byte that is not a
// continuation byte.
constexpr std::size_t WideUnits(const char* text, std::size_t bytes) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++units;
  }
  return units;
}

static_assert(IsUtf8OfOneUnitCharacters(kPool, sizeof kPool),
              "the pool is UTF-8 of characters that widen to one UTF-16 unit each");
inline constexpr std::size_t kWideUnits = WideUnits(kPool, sizeof kPool);

// Widens `bytes` of such UTF-8 into `out` (WideUnits(text, bytes) units):
// a lead byte starts a unit with its payload bits, each continuation byte
// adds six more.
constexpr void Widen(const char* text, std::size_t bytes, char16_t* out) {
  for (std::size_t i = 0; i < bytes; ++i) {
    unsigned byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) {
      out[-1] = static_cast<char16_t>(out[-1] << 6 | (byte & 0x3F));
    } else {
      *out++ = static_cast<char16_t>(byte < 0x80 ? byte : byte & (byte < 0xE0 ? 0x1F : 0x0F));
    }
  }
}

// Where text `id` (1 to kTextIdCount) starts in the pool, and its length in
// bytes without its zero.
constexpr std::size_t PoolOffset(int id) {
  std::size_t at = 0;
  for (; id > 1; --id) {
    while (kPool[at]) ++at;
    ++at;
  }
  return at;
}
constexpr std::size_t PoolBytes(std::size_t at) {
  std::size_t bytes = 0;
  while (kPool[at + bytes]) ++bytes;
  return bytes;
}

}  // namespace text_pool
}  // namespace orx
