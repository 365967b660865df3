// The resources of the built Karvel.exe, read back from the file through the platform's loaders.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

HMODULE karvel;

// A resource of Karvel.exe in French (France), the language of all of them.
std::string resource(LPCSTR type, int name) {
    HRSRC found = FindResourceExA(karvel, type, MAKEINTRESOURCEA(name), MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH));
    const char *data = found ? static_cast<const char *>(LockResource(LoadResource(karvel, found))) : nullptr;
    return data ? std::string(data, SizeofResource(karvel, found)) : "";
}

class BuiltResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { karvel = LoadLibraryExA(KARVEL_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE); }
    void SetUp() override { ASSERT_NE(karvel, nullptr) << "cannot open " << KARVEL_EXE; }
};

// The menu as the platform builds it: items as "text" and command number, drop-downs in braces;
// any item not simply enabled shows its state.
std::string describeMenu(HMENU menu) {
    std::string text;
    for (UINT i = 0; i < UINT(GetMenuItemCount(menu)); ++i) {
        char label[64] = "";
        GetMenuStringA(menu, i, label, sizeof label, MF_BYPOSITION);
        // For a drop-down the state's second byte is its item count.
        UINT state = GetMenuState(menu, i, MF_BYPOSITION), flags = MF_GRAYED | MF_DISABLED | MF_CHECKED;
        HMENU sub = GetSubMenu(menu, int(i));
        if (!sub && (state & MF_SEPARATOR))
            text += "---- "; // the platform greys separators
        else
            text += "\"" + std::string(label) + "\" " +
                    (sub ? "{ " + describeMenu(sub) + "}" : std::to_string(GetMenuItemID(menu, int(i)))) +
                    (state & flags ? " state " + std::to_string(state & flags) : "") + " ";
    }
    return text;
}

TEST_F(BuiltResources, MenuHasTheGameAndHelpDropDowns) {
    std::string menuTemplate = resource(RT_MENU, 103);
    ASSERT_FALSE(menuTemplate.empty()) << "no menu 103";
    HMENU menu = LoadMenuIndirectA(menuTemplate.data());
    EXPECT_EQ(describeMenu(menu), "\">   Jeu      <\" { \"Nouveau jeu...\" 40007 \"Options\" 40008 ---- "
                                  "\"Quitter...\" 40003 } \"      Aide        \" { \"A propos ...\" 40005 } ");
    DestroyMenu(menu);
}

// Reads the fields of a resource in order; every read stays inside it.
struct Reader {
    std::string bytes;
    size_t at;

    bool overrun() const { return at > bytes.size(); }
    DWORD number(size_t size) { // little-endian, of 1, 2 or 4 bytes; 0 past the end
        DWORD value = 0;
        for (size_t i = 0; i < size; ++i, ++at)
            value |= at < bytes.size() ? DWORD(BYTE(bytes[at])) << (8 * i) : 0;
        return value;
    }
    // A text written as UTF-16 up to its terminator; ASCII is all these resources hold.
    std::string text() {
        std::string result;
        for (DWORD c = number(2); c != 0; c = number(2))
            result += c < 0x80 ? char(c) : '?';
        return result;
    }
    // A name or ordinal field: "#n" for an ordinal, the text otherwise.
    std::string nameOrOrdinal() {
        if (number(2) == 0xFFFF)
            return "#" + std::to_string(number(2));
        at -= 2;
        return text();
    }
};

struct Control { int id; std::string className, text; DWORD style, exStyle, x, y, width, height; };

std::string describe(const Control &c) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, " style 0x%08lX ex 0x%lX at %lu,%lu size %lux%lu", c.style, c.exStyle, c.x,
                  c.y, c.width, c.height);
    return std::to_string(c.id) + " " + c.className + " \"" + c.text + "\"" + numbers;
}

// The control classes as the resource compiler stores them.
const char kButton[] = "BUTTON", kStatic[] = "STATIC", kComboBox[] = "COMBOBOX";
const DWORD kChild = WS_CHILD | WS_VISIBLE, kDefault = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP,
            kLabel = kChild | SS_LEFT | WS_GROUP, kGroup = kChild | BS_GROUPBOX,
            kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;

// Each control: id, class, text, style, extended style, x, y, width, height.
struct DialogExpected { int resource; const char *title; int width, height; std::vector<Control> controls; };
const DialogExpected dialogs[] = {
    {104, "A propos de KARVEL V1.2", 189, 102, {
        {IDOK, kButton, "OK", kDefault, 0, 126, 72, 57, 23},
        {-1, kStatic, "#102", kChild | SS_ICON, 0, 7, 7, 20, 20},
        {-1, kStatic, "KARVEL V1.2\n\nProgramme par l'equipe Karvel.\nUtilisez les fleches pour jouer 'P' pour "
                      "mettre en pause.\n\nDessins et sons : atelier Karvel.", kLabel, 0, 38, 7, 145, 62},
        {-1, kStatic, "Idee : un grand classique des blocs qui tombent.", kLabel, 0, 7, 74, 115, 21},
    }},
    {107, "Nouveau Jeu", 186, 69, {
        {IDOK, kButton, "Comencer", kDefault, 0, 114, 7, 65, 29},
        {IDCANCEL, kButton, "Annuler", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 140, 45, 39, 14},
        {1002, kComboBox, "", kChild | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0, 58, 41, 27, 80},
        {-1, kButton, "Niveau:", kGroup, 0, 7, 7, 102, 54},
        {-1, kStatic, "Veuillez selectionner votre niveau de depart.", kLabel, 0, 13, 16, 91, 19},
        {-1, kStatic, "Niveau:", kLabel, WS_EX_RIGHT, 11, 42, 46, 11},
    }},
    {109, "Options de Karvel  1.2", 165, 106, {
        {IDOK, kButton, "OK", kDefault, 0, 123, 7, 32, 92},
        {-1, kButton, "Quels sons activer?", kGroup, 0, 7, 7, 110, 92},
        {1008, kButton, "Disparision des lignes.", kCheck, 0, 15, 20, 86, 10},
        {1009, kButton, "Rotation de la piece.", kCheck, 0, 15, 35, 82, 10},
        {1010, kButton, "Deplacement de la piece.", kCheck, 0, 15, 50, 96, 10},
        {1011, kButton, "Atterissage de la piece.", kCheck, 0, 15, 65, 91, 10},
        {1012, kButton, "Fin de jeu.", kCheck, 0, 15, 80, 50, 10},
    }},
};

TEST_F(BuiltResources, DialogTemplatesMatchTheirTables) {
    for (const DialogExpected &expected : dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(expected.resource));
        Reader in = {resource(RT_DIALOG, expected.resource), 0};
        // The header, field by field in file order (C++17 evaluates << operands left to right).
        std::ostringstream header;
        header << "version " << in.number(2) << " signature " << std::hex << in.number(2) << " help " << in.number(4)
               << " ex " << in.number(4) << " style " << in.number(4) << std::dec;
        DWORD count = in.number(2);
        in.number(4); // x and y: the dialog is centred on the screen (DS_CENTER)
        header << " size " << in.number(2) << "x" << in.number(2) << " menu '" << in.nameOrOrdinal() << "' class '"
               << in.nameOrOrdinal() << "' title '" << in.text() << "' font " << in.number(2) << " weight "
               << in.number(2) << " italic " << in.number(1) << " charset " << in.number(1) << " '" << in.text()
               << "'";
        EXPECT_EQ(header.str(), "version 1 signature ffff help 0 ex 0 style 80c808c8 size " +
                                    std::to_string(expected.width) + "x" + std::to_string(expected.height) +
                                    " menu '' class '' title '" + expected.title +
                                    "' font 8 weight 400 italic 0 charset 1 'MS Shell Dlg'");

        std::vector<std::string> got, wanted;
        for (DWORD i = 0; i < count && !in.overrun(); ++i) {
            in.at = (in.at + 3) & ~size_t(3); // each control starts on a DWORD boundary
            // One declaration reads the fields in file order.
            DWORD help = in.number(4), ex = in.number(4), style = in.number(4), x = in.number(2), y = in.number(2),
                  width = in.number(2), height = in.number(2), id = in.number(4);
            std::string cls = in.nameOrOrdinal(), text = in.nameOrOrdinal();
            in.at += in.number(2); // creation data
            got.push_back(describe({int(id), cls, text, style, ex, x, y, width, height}) +
                          (help ? " help " + std::to_string(help) : ""));
        }
        EXPECT_FALSE(in.overrun()) << "the template ends before its " << count << " controls";
        for (const Control &c : expected.controls)
            wanted.push_back(describe(c));
        EXPECT_EQ(got, wanted) << "controls in order";
    }
}

TEST_F(BuiltResources, IconsAreOne32By32ImageEach) {
    // The group's header and entry, then the image's own header.
    const struct { int group; const char *expected; } icons[] = {
        {101, "type 1, 1 image: 32x32 0 colours 24 bits; image 32x64 24 bits"},
        {102, "type 1, 1 image: 32x32 0 colours 24 bits; image 32x64 24 bits"},
        {108, "type 1, 1 image: 32x32 16 colours 4 bits; image 32x64 4 bits"},
    };
    for (int i = 0; i < 3; ++i) {
        Reader group = {resource(RT_GROUP_ICON, icons[i].group), 2}, image = {"", 4};
        std::ostringstream got; // fields in file order; the comma expressions skip a reserved byte and the planes
        got << "type " << group.number(2) << ", " << group.number(2) << " image: " << group.number(1) << "x"
            << group.number(1) << " " << group.number(1) << " colours " << (group.number(3), group.number(2))
            << " bits; image ";
        DWORD bytes = group.number(4);
        image.bytes = resource(RT_ICON, int(group.number(2)));
        got << image.number(4) << "x" << image.number(4) << " " << (image.number(2), image.number(2)) << " bits";
        EXPECT_EQ(got.str(), icons[i].expected) << "icon " << icons[i].group;
        EXPECT_EQ(image.bytes.size(), bytes) << "icon " << icons[i].group << ": image size against its group entry";
    }
}

TEST_F(BuiltResources, VersionRecordIsVersion1201InFrench) {
    EXPECT_FALSE(resource(RT_VERSION, 1).empty()) << "no French version record";
    std::vector<BYTE> record(GetFileVersionInfoSizeA(KARVEL_EXE, nullptr));
    ASSERT_TRUE(GetFileVersionInfoA(KARVEL_EXE, 0, DWORD(record.size()), record.data()));
    UINT length = 0;
    auto value = [&](const std::string &path) {
        void *found = nullptr;
        return VerQueryValueA(record.data(), path.c_str(), &found, &length) ? found : nullptr;
    };

    const VS_FIXEDFILEINFO *fixed = static_cast<const VS_FIXEDFILEINFO *>(value("\\"));
    ASSERT_TRUE(fixed && length >= sizeof *fixed);
    char numbers[200];
    std::snprintf(numbers, sizeof numbers, "signature %lx file %lx.%lx product %lx.%lx flags %lx of %lx os %lx "
                  "type %lu.%lu date %lu.%lu", fixed->dwSignature, fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                  fixed->dwProductVersionMS, fixed->dwProductVersionLS, fixed->dwFileFlags, fixed->dwFileFlagsMask,
                  fixed->dwFileOS, fixed->dwFileType, fixed->dwFileSubtype, fixed->dwFileDateMS, fixed->dwFileDateLS);
    // 1.2.0.1; mask VS_FF_DEBUG | VS_FF_PRERELEASE | VS_FF_PATCHED | VS_FF_INFOINFERRED; VOS__WINDOWS32; VFT_APP
    EXPECT_STREQ(numbers, "signature feef04bd file 10002.1 product 10002.1 flags 0 of 17 os 4 type 1.0 date 0.0");

    const DWORD *translation = static_cast<const DWORD *>(value("\\VarFileInfo\\Translation"));
    ASSERT_TRUE(translation && length == 4u) << "one translation entry";
    EXPECT_EQ(*translation, MAKELONG(0x040C, 1200)) << "language 0x040C, code page 1200";

    const char *const strings[][2] = {
        {"FileDescription", "Application Karvel"}, {"FileVersion", "1, 2, 0, 1"},
        {"InternalName", "Karvel"},                {"OriginalFilename", "Karvel.exe"},
        {"ProductName", " Application Karvel"},    {"ProductVersion", "1, 2, 0, 1"},
    };
    for (const auto &s : strings) {
        const char *text = static_cast<const char *>(value(std::string("\\StringFileInfo\\040c04b0\\") + s[0]));
        EXPECT_STREQ(text ? text : "(missing)", s[1]) << s[0];
    }
}

} // namespace
