#include "files/file_tables.h"

const char* const kShellFoldersKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";
const char* const kCommonProgramsValue = "Common Programs";
const char* const kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
const char* const kProgramFilesValue = "ProgramFilesDir";

const char* const kXqsKey = "SOFTWARE\\Qarvex\\XQS\\";
const char* const kXqsVersionValue = "Version";
const char* const kXqsPathValue = "XQSPath";
const char* const kXqsDefaultFormat = "%s\\XQS";
const char* const kPellitonKey = "SOFTWARE\\Brenmoor\\Pelliton\\CurrentVersion\\";
const char* const kPellitonRootValue = "Root";
const char* const kPellitonDefaultFormat = "%s\\Pelliton";

const char* const kLogsDirectoryFormat = "%sLOGS";
const char* const kDeskreachDirectoryFormat = "%s\\Brenmoor\\Deskreach";
const char* const kStartMenuFolderFormats[] = {
    "%s\\Pelliton",
    "%s\\Pelliton Agent",
    "%s\\XQ Services",
};
const size_t kStartMenuFolderCount = sizeof kStartMenuFolderFormats / sizeof kStartMenuFolderFormats[0];

// The automatic-restart feature can outlive the suite; its DLL stays while its service does.
const char* const kRbxServiceKey = "SYSTEM\\CurrentControlSet\\Services\\qvxrbxsv";
const char* const kRbxSharedFileFormat = "%s\\system32\\qvxwdt.dll";

// Deleted in this order.
const LeftoverFile kLeftoverFiles[] = {
    {"%s\\system32\\drivers\\offpower.sys", false},
    {"%s\\KzdXServ.exe", false},
    {"%s\\system32\\wbem\\mof\\good\\xqsevent.mof", false},
    {"%s\\system32\\wbem\\mof\\good\\xqsredundantnic.mof", false},
    {"%s\\system32\\wbem\\mof\\good\\xqstco.mof", false},
    {"%s\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\Fleet Board.lnk", true},
    {"%s\\system32\\kzdproc.dll", false},
    {"%s\\system32\\drivers\\usbmohk5.sys", false},
    {"%s\\system32\\drivers\\usbkbhk5.sys", false},
    {"%s\\system32\\drivers\\kzdsysin.sys", false},
    {"%s\\system32\\drivers\\kzdgrab.sys", false},
    {"%s\\system32\\drivers\\rawmemnt.sys", false},
    {"%s\\system32\\drivers\\Mourcw2k.sys", false},
    {"%s\\system32\\drivers\\Mourc2.sys", false},
    {"%s\\system32\\drivers\\mouhook5.sys", false},
    {"%s\\system32\\drivers\\mouhook.sys", false},
    {"%s\\system32\\drivers\\sensnt.sys", false},
    {"%s\\system32\\drivers\\Kbdrcw2k.sys", false},
    {"%s\\system32\\drivers\\Kbdrc2.sys", false},
    {"%s\\system32\\drivers\\kbdhook5.sys", false},
    {"%s\\system32\\drivers\\kbdhook.sys", false},
};
const size_t kLeftoverFileCount = sizeof kLeftoverFiles / sizeof kLeftoverFiles[0];
