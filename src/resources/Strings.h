#pragma once

// The program's own texts and command ids. The user-facing texts are Russian; the messages of
// the general document and dialog machinery are English. Kept free of Qt so that every layer can
// name a command.

namespace orv::res {

// Command ids, shared by the menu, the shortcuts and the status prompts. The numbers are the
// conventional ones of a single-document program so that recent-file slots follow 57616.
enum CommandId : int {
    kIdFileNew = 57600,
    kIdFileOpen = 57601,
    kIdFileSave = 57603,
    kIdFileSaveAs = 57604,
    kIdFileRecent1 = 57616,  // to 57619, one per recent file
    kIdAppAbout = 57664,
    kIdAppExit = 57665,
    kIdParameters = 32773,
    kIdSaveAsBmp = 32775,
};

// A menu command: its caption with the mnemonic marked by '&', its shortcut in the portable
// text form of QKeySequence (empty: none) and the prompt the status bar shows while the item is
// highlighted (empty: the pane goes blank).
struct CommandText {
    int id;
    const char* caption;
    const char* shortcut;
    const char* prompt;
};

inline constexpr int kRecentFileCount = 4;

inline constexpr CommandText kCommands[] = {
    {kIdFileNew, "Созд&ать", "Ctrl+N", "Создание нового документа"},
    {kIdFileOpen, "&Открыть...", "Ctrl+O", "Открытие существующего документа"},
    {kIdFileSave, "&Сохранить", "Ctrl+S", "Сохранение текущего документа"},
    {kIdFileSaveAs, "Сохранить &как...", "", "Сохранение документа под новым именем"},
    {kIdSaveAsBmp, "Сохранить как &BMP...", "", ""},
    {kIdFileRecent1, "Недавно открытый файл", "", "Открыть этот документ"},
    {kIdAppExit, "В&ыход", "", "Выход из приложения"},
    {kIdParameters, "&Параметры...", "Ctrl+P", "Задание афинных преобразований СИФ"},
    {kIdAppAbout, "&О программе...", "F1", "Информация о программе"},
};

inline constexpr char kMenuFile[] = "&Файл";
inline constexpr char kMenuIfs[] = "&СИФ";
inline constexpr char kMenuHelp[] = "&?";

// What the status pane shows when no menu item is highlighted.
inline constexpr char kIdleStatus[] = "Готово";

// The frame's caption is "<document title> - <window title>".
inline constexpr char kWindowTitle[] = "Программа эмуляции системы итерированных функций";
inline constexpr char kUntitled[] = "Untitled";

inline constexpr char kProgressText[] = "Идёт итерационный процесс СИФ";
inline constexpr char kCancel[] = "Отмена";

inline constexpr char kBmpFilter[] = "Файлы Windows Bitmap (*.bmp)";
inline constexpr char kAllFilesFilter[] = "Все файлы (*.*)";
inline constexpr char kBmpSuffix[] = "bmp";

// The document files.
inline constexpr char kOpenTitle[] = "Open";
inline constexpr char kSaveAsTitle[] = "Save As";
inline constexpr char kDocumentFilter[] = "Файлы параметров СИФ (*.orv)";
inline constexpr char kAllFiles[] = "All Files (*.*)";
inline constexpr char kDocumentSuffix[] = "orv";
inline constexpr char kSaveChangesQuestion[] = "Save changes to %1?";

inline constexpr char kOutOfMemory[] = "Out of memory.";
inline constexpr char kInternalError[] = "Internal application error.";

inline constexpr char kApplicationName[] = "Orv";
inline constexpr char kApplicationIcon[] = ":/icons/orv.png";

// The per-user profile: "<registry key>/<application name>", that is ~/.config/Orv/Orv.conf.
inline constexpr char kRegistryKey[] = "Orv";
inline constexpr char kRecentFileSection[] = "Recent File List";
inline constexpr char kRecentFileEntryPrefix[] = "File";  // File1 to File4
inline constexpr char kSettingsSection[] = "Settings";
inline constexpr char kPreviewPagesEntry[] = "PreviewPages";
// Shown once the unregister switch has removed the profile, unless run embedded.
inline constexpr char kUnregistered[] =
    "System registry entries have been removed and the INI file (if any) was deleted.";

inline constexpr char kAboutTitle[] = "О программе...";
inline constexpr char kAboutText[] = "Эмулятор системы итерированных функций";
inline constexpr char kOk[] = "OK";

}  // namespace orv::res
