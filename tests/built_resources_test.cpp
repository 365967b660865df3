// The resources of the built Karvel.exe, read back from the file through the platform's loaders.
#include "ui/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const WORD kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH); // 0x040C

HMODULE karvel;

struct Bytes {
    const BYTE *data;
    DWORD size;
};

Bytes frenchResource(LPCSTR type, int name) {
    HRSRC found = FindResourceExA(karvel, type, MAKEINTRESOURCEA(name), kFrench);
    if (!found)
        return {nullptr, 0};
    return {static_cast<const BYTE *>(LockResource(LoadResource(karvel, found))), SizeofResource(karvel, found)};
}

class BuiltResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        karvel = LoadLibraryExA(KARVEL_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(karvel, nullptr) << "cannot open " << KARVEL_EXE << ", error " << GetLastError();
    }
    void SetUp() override { ASSERT_NE(karvel, nullptr); }
};

// ---------------------------------------------------------------------------
// Which resources there are, and their language

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR list) {
    std::string &names = *reinterpret_cast<std::string *>(list);
    names += IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name)) + " " : std::string(name) + " ";
    return TRUE;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD> *>(list)->push_back(language);
    return TRUE;
}

TEST_F(BuiltResources, EachResourceIsThereOnceInFrench) {
    const struct {
        LPCSTR type;
        const char *typeName;
        const char *names; // every resource of that type, as the loader lists them
    } kinds[] = {
        {RT_MENU, "menu", "103 "},
        {RT_DIALOG, "dialog", "104 107 109 "},
        {RT_GROUP_ICON, "icon group", "101 102 108 "},
        {RT_VERSION, "version record", "1 "},
    };
    for (const auto &kind : kinds) {
        std::string names;
        EnumResourceNamesA(karvel, kind.type, collectName, reinterpret_cast<LONG_PTR>(&names));
        EXPECT_EQ(names, kind.names) << kind.typeName;
        for (const char *name = kind.names; *name;) {
            char *end = nullptr;
            long number = std::strtol(name, &end, 10);
            name = end + 1;
            std::vector<WORD> languages;
            EnumResourceLanguagesA(karvel, kind.type, MAKEINTRESOURCEA(number), collectLanguage,
                                   reinterpret_cast<LONG_PTR>(&languages));
            EXPECT_EQ(languages, std::vector<WORD>{kFrench}) << kind.typeName << " " << number;
        }
    }
}

// ---------------------------------------------------------------------------
// The menu, as the platform builds it from the resource

std::string describeMenu(HMENU menu) {
    std::string text;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char label[64] = "";
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = label;
        item.cch = sizeof label;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item);
        if (item.fType & MFT_SEPARATOR)
            text += "----";
        else
            text += "\"" + std::string(label) + "\"";
        if (item.hSubMenu)
            text += " { " + describeMenu(item.hSubMenu) + "}";
        else if (!(item.fType & MFT_SEPARATOR))
            text += " " + std::to_string(item.wID);
        if (item.fState != MFS_ENABLED && !(item.fType & MFT_SEPARATOR)) // the platform greys separators
            text += " state " + std::to_string(item.fState);
        text += " ";
    }
    return text;
}

TEST_F(BuiltResources, MenuHasTheGameAndHelpDropDowns) {
    Bytes menuTemplate = frenchResource(RT_MENU, IDR_MAINMENU);
    ASSERT_NE(menuTemplate.data, nullptr) << "no French menu 103";
    HMENU menu = LoadMenuIndirectA(menuTemplate.data);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(describeMenu(menu), "\">   Jeu      <\" { \"Nouveau jeu...\" 40007 \"Options\" 40008 ---- "
                                  "\"Quitter...\" 40003 } "
                                  "\"      Aide        \" { \"A propos ...\" 40005 } ");
    DestroyMenu(menu);
}

// ---------------------------------------------------------------------------
// The dialog templates, read field by field

// Reads an extended dialog template in order; every read stays inside the resource.
struct TemplateReader {
    Bytes bytes;
    DWORD at;
    bool overrun;

    const BYTE *take(DWORD size) {
        if (overrun || at + size > bytes.size) {
            overrun = true;
            return nullptr;
        }
        const BYTE *p = bytes.data + at;
        at += size;
        return p;
    }
    DWORD number(DWORD size) {
        const BYTE *p = take(size);
        DWORD value = 0;
        for (DWORD i = 0; p && i < size; ++i)
            value |= static_cast<DWORD>(p[i]) << (8 * i);
        return value;
    }
    WORD word() { return static_cast<WORD>(number(2)); }
    DWORD dword() { return number(4); }
    int coordinate() { return static_cast<short>(word()); }
    void alignToDword() { at = (at + 3) & ~3u; }
    // A text written as UTF-16 up to its terminator; ASCII is all these templates hold.
    std::string text() {
        std::string result;
        for (WORD c = word(); c != 0 && !overrun; c = word())
            result += c < 0x80 ? static_cast<char>(c) : '?';
        return result;
    }
    // A name or ordinal field: "#n" for an ordinal, the text otherwise.
    std::string nameOrOrdinal() {
        WORD first = word();
        if (first == 0xFFFF)
            return "#" + std::to_string(word());
        at -= 2;
        return text();
    }
};

// Predefined control classes stored as ordinals.
std::string className(const std::string &stored) {
    const struct {
        const char *ordinal, *name;
    } classes[] = {{"#128", "button"}, {"#129", "edit"}, {"#130", "static"}, {"#133", "combobox"}};
    for (const auto &c : classes)
        if (stored == c.ordinal)
            return c.name;
    std::string lower = stored;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

struct Control {
    int id;
    const char *className;
    std::string text;
    DWORD style, exStyle;
    int x, y, width, height;
};

std::string describe(const Control &c) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, " style 0x%08lX ex 0x%lX at %d,%d size %dx%d", c.style, c.exStyle, c.x,
                  c.y, c.width, c.height);
    return std::to_string(c.id) + " " + c.className + " \"" + c.text + "\"" + numbers;
}

const DWORD kChild = WS_CHILD | WS_VISIBLE;

const char kAboutText[] = "KARVEL V1.2\n\n"
                          "Programme par l'equipe Karvel.\n"
                          "Utilisez les fleches pour jouer 'P' pour mettre en pause.\n\n"
                          "Dessins et sons : atelier Karvel.";

struct DialogExpected {
    int resource;
    const char *title;
    int width, height;
    std::vector<Control> controls;
} const dialogs[] = {
    {IDD_ABOUT, "A propos de KARVEL V1.2", 189, 102,
     {
         {IDOK, "button", "OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 126, 72, 57, 23},
         {-1, "static", "#102", kChild | SS_ICON, 0, 7, 7, 20, 20},
         {-1, "static", kAboutText, kChild | SS_LEFT | WS_GROUP, 0, 38, 7, 145, 62},
         {-1, "static", "Idee : un grand classique des blocs qui tombent.", kChild | SS_LEFT | WS_GROUP, 0, 7, 74,
          115, 21},
     }},
    {IDD_NEWGAME, "Nouveau Jeu", 186, 69,
     {
         {IDOK, "button", "Comencer", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 114, 7, 65, 29},
         {IDCANCEL, "button", "Annuler", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 140, 45, 39, 14},
         {IDC_LEVEL, "combobox", "", kChild | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0, 58, 41, 27, 80},
         {-1, "button", "Niveau:", kChild | BS_GROUPBOX, 0, 7, 7, 102, 54},
         {-1, "static", "Veuillez selectionner votre niveau de depart.", kChild | SS_LEFT | WS_GROUP, 0, 13, 16, 91,
          19},
         {-1, "static", "Niveau:", kChild | SS_LEFT | WS_GROUP, WS_EX_RIGHT, 11, 42, 46, 11},
     }},
    {IDD_OPTIONS, "Options de Karvel  1.2", 165, 106,
     {
         {IDOK, "button", "OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 123, 7, 32, 92},
         {-1, "button", "Quels sons activer?", kChild | BS_GROUPBOX, 0, 7, 7, 110, 92},
         {IDC_LINE_CLEAR_SOUND, "button", "Disparision des lignes.", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 15,
          20, 86, 10},
         {IDC_ROTATE_SOUND, "button", "Rotation de la piece.", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 15, 35, 82,
          10},
         {IDC_MOVE_SOUND, "button", "Deplacement de la piece.", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 15, 50, 96,
          10},
         {IDC_LAND_SOUND, "button", "Atterissage de la piece.", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 15, 65, 91,
          10},
         {IDC_GAME_OVER_SOUND, "button", "Fin de jeu.", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 15, 80, 50, 10},
     }},
};

TEST_F(BuiltResources, DialogTemplatesMatchTheirTables) {
    for (const DialogExpected &expected : dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(expected.resource) + " \"" + expected.title + "\"");
        TemplateReader in = {frenchResource(RT_DIALOG, expected.resource), 0, false};
        ASSERT_NE(in.bytes.data, nullptr) << "no French template";

        EXPECT_EQ(in.word(), 1) << "template version: an extended template";
        EXPECT_EQ(in.word(), 0xFFFF) << "extended template signature";
        EXPECT_EQ(in.dword(), 0u) << "help id";
        EXPECT_EQ(in.dword(), 0u) << "extended style";
        EXPECT_EQ(in.dword(), 0x80C808C8u) << "style";
        WORD count = in.word();
        in.coordinate(); // x and y: the dialog is centred on the screen (DS_CENTER)
        in.coordinate();
        EXPECT_EQ(in.coordinate(), expected.width) << "width";
        EXPECT_EQ(in.coordinate(), expected.height) << "height";
        EXPECT_EQ(in.nameOrOrdinal(), "") << "menu";
        EXPECT_EQ(in.nameOrOrdinal(), "") << "class: the system's dialog class";
        EXPECT_EQ(in.text(), expected.title) << "title";
        EXPECT_EQ(in.word(), 8) << "font size in points";
        EXPECT_EQ(in.word(), 400) << "font weight";
        EXPECT_EQ(in.number(1), 0u) << "italic";
        EXPECT_EQ(in.number(1), 1u) << "character set";
        EXPECT_EQ(in.text(), "MS Shell Dlg") << "font";

        std::vector<std::string> got, wanted;
        for (WORD i = 0; i < count && !in.overrun; ++i) {
            in.alignToDword();
            Control c = {};
            in.dword(); // help id
            c.exStyle = in.dword();
            c.style = in.dword();
            c.x = in.coordinate();
            c.y = in.coordinate();
            c.width = in.coordinate();
            c.height = in.coordinate();
            c.id = static_cast<int>(in.dword());
            std::string storedClass = className(in.nameOrOrdinal());
            c.className = storedClass.c_str();
            c.text = in.nameOrOrdinal();
            WORD extra = in.word();
            in.take(extra);
            got.push_back(describe(c));
        }
        EXPECT_FALSE(in.overrun) << "the template ends before its " << count << " controls";
        for (const Control &c : expected.controls)
            wanted.push_back(describe(c));
        EXPECT_EQ(got, wanted) << "controls in order";
    }
}

// ---------------------------------------------------------------------------
// Icons

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(BuiltResources, IconsAreOne32By32ImageEach) {
    const struct {
        int group;
        int bitCount, colourCount;
    } icons[] = {
        {IDI_KARVEL, 24, 0},
        {IDI_KARVEL_ABOUT, 24, 0},
        {IDI_NOTES, 4, 16},
    };
    std::vector<std::vector<BYTE>> images;
    for (const auto &icon : icons) {
        SCOPED_TRACE("icon " + std::to_string(icon.group));
        Bytes group = frenchResource(RT_GROUP_ICON, icon.group);
        ASSERT_GE(group.size, 6u + sizeof(IconGroupEntry)) << "no French icon group, or a short one";
        const WORD *header = reinterpret_cast<const WORD *>(group.data);
        EXPECT_EQ(header[0], 0) << "reserved";
        EXPECT_EQ(header[1], 1) << "type: icon";
        ASSERT_EQ(header[2], 1) << "images in the group";
        IconGroupEntry entry;
        std::memcpy(&entry, group.data + 6, sizeof entry);
        EXPECT_EQ(entry.width, 32);
        EXPECT_EQ(entry.height, 32);
        EXPECT_EQ(entry.bitCount, icon.bitCount);
        EXPECT_EQ(entry.colourCount, icon.colourCount);

        Bytes image = frenchResource(RT_ICON, entry.id);
        ASSERT_NE(image.data, nullptr) << "image " << entry.id << " is missing";
        EXPECT_EQ(image.size, entry.bytes) << "image size against its group entry";
        ASSERT_GE(image.size, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER bitmap;
        std::memcpy(&bitmap, image.data, sizeof bitmap);
        EXPECT_EQ(bitmap.biWidth, 32);
        EXPECT_EQ(bitmap.biHeight, 64) << "colour and mask rows";
        EXPECT_EQ(bitmap.biBitCount, icon.bitCount);
        HICON loaded = CreateIconFromResourceEx(const_cast<BYTE *>(image.data), image.size, TRUE, 0x00030000, 32,
                                                32, LR_DEFAULTCOLOR);
        EXPECT_NE(loaded, nullptr) << "the platform cannot make an icon of image " << entry.id;
        DestroyIcon(loaded);
        images.emplace_back(image.data, image.data + image.size);
    }
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0], images[1]) << "icons 101 and 102 carry the same picture";
}

// ---------------------------------------------------------------------------
// The version record, through the platform's version API

TEST_F(BuiltResources, VersionRecordIsVersion1201InFrench) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(KARVEL_EXE, &handle);
    ASSERT_GT(size, 0u) << "no version record";
    std::vector<BYTE> record(size);
    ASSERT_TRUE(GetFileVersionInfoA(KARVEL_EXE, 0, size, record.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    const struct {
        const char *name;
        DWORD got, expected;
    } numbers[] = {
        {"signature", fixed->dwSignature, 0xFEEF04BD},
        {"file version, high", fixed->dwFileVersionMS, 0x00010002},
        {"file version, low", fixed->dwFileVersionLS, 0x00000001},
        {"product version, high", fixed->dwProductVersionMS, 0x00010002},
        {"product version, low", fixed->dwProductVersionLS, 0x00000001},
        {"flags mask", fixed->dwFileFlagsMask, 0x17},
        {"flags", fixed->dwFileFlags, 0},
        {"operating system", fixed->dwFileOS, VOS__WINDOWS32},
        {"file type", fixed->dwFileType, VFT_APP},
        {"subtype", fixed->dwFileSubtype, 0},
        {"date, high", fixed->dwFileDateMS, 0},
        {"date, low", fixed->dwFileDateLS, 0},
    };
    for (const auto &n : numbers)
        EXPECT_EQ(n.got, n.expected) << n.name;

    DWORD *translations = nullptr;
    ASSERT_TRUE(VerQueryValueA(record.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translations),
                               &length));
    ASSERT_EQ(length, 4u) << "one translation entry";
    EXPECT_EQ(LOWORD(translations[0]), 0x040C) << "language";
    EXPECT_EQ(HIWORD(translations[0]), 1200) << "code page";

    const struct {
        const char *key;
        const char *value; // nullptr: any text but an empty one
    } strings[] = {
        {"FileDescription", "Application Karvel"},
        {"FileVersion", "1, 2, 0, 1"},
        {"InternalName", "Karvel"},
        {"OriginalFilename", "Karvel.exe"},
        {"ProductName", " Application Karvel"},
        {"ProductVersion", "1, 2, 0, 1"},
        {"CompanyName", nullptr},
        {"LegalCopyright", nullptr},
        {"Comments", nullptr},
    };
    for (const auto &s : strings) {
        char *value = nullptr;
        std::string path = std::string("\\StringFileInfo\\040c04b0\\") + s.key;
        bool found = VerQueryValueA(record.data(), path.c_str(), reinterpret_cast<void **>(&value), &length) && value;
        ASSERT_TRUE(found) << s.key << " is missing";
        if (s.value)
            EXPECT_STREQ(value, s.value) << s.key;
        else
            EXPECT_GT(std::strlen(value), 0u) << s.key;
    }
}

} // namespace
