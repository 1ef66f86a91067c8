// Identifiers of the texts that the program fetches from its string tables.
//
// The texts themselves (names, messages, formats, registry paths) belong to the package; only
// their identifiers are fixed here. Where one identifier serves two roles, its comment names
// both. Formats list their arguments in order.
#pragma once

#include <cstdint>

// ---- Start-up, shutdown and the run decision ----------------------------------------------

constexpr uint32_t kTextPackageLangId = 86;         // package language identifier, hexadecimal
constexpr uint32_t kTextCompletionKey = 4;          // HKLM sub key of the completion mark
constexpr uint32_t kTextCompletionValueNew = 50;    // completion mark on Windows 5.1 and later
constexpr uint32_t kTextCompletionValueOld = 51;    // completion mark on Windows 5.0 and older
constexpr uint32_t kTextCompletionName = 71;        // value name of the completion mark (also set C's name)
constexpr uint32_t kTextNativeSystemInfoProc = 58;  // export that fills the native SYSTEM_INFO
constexpr uint32_t kTextSystemLibrary = 144;        // library of exports 56, 57, 58, 60 and 336
constexpr uint32_t kTextUnsupportedPlatform = 124;  // message: Windows version or processor
constexpr uint32_t kTextWindowClass = 94;           // frame window class; finds a running copy
constexpr uint32_t kTextAdminRequired = 123;        // message: administrator rights needed
constexpr uint32_t kTextNoCyrillicLayout = 125;     // message before the hand-over
constexpr uint32_t kTextHandOverVerb = 53;
constexpr uint32_t kTextHandOverFile = 54;
constexpr uint32_t kTextHandOverParameters = 55;
constexpr uint32_t kTextMessageCaption = 93;        // every message box caption; frame title
constexpr uint32_t kTextVariantSelector = 88;       // sought in texts 113-115 to pick the variant

// ---- Paths of an installation --------------------------------------------------------------

constexpr uint32_t kTextProgramsFolder = 9;   // below program files and the programs menu
constexpr uint32_t kTextProductFolder = 10;   // below text 9; also the record key's third level
constexpr uint32_t kTextSetAName = 22;        // set A is named "22 (23)"
constexpr uint32_t kTextSetAQualifier = 23;   // also the link-set key's second level
constexpr uint32_t kTextSetBName = 30;
constexpr uint32_t kTextSetCName = 71;        // also the value name of the completion mark
constexpr uint32_t kTextSetDName = 70;
constexpr uint32_t kTextDocumentEnding = 42;  // set A and B files; file type of the association check
constexpr uint32_t kTextLinkEnding = 43;      // every link of sets A-C and of the program's copy
constexpr uint32_t kTextSetCEnding = 44;
constexpr uint32_t kTextSetDEnding = 46;
constexpr uint32_t kTextFileEName = 80;
constexpr uint32_t kTextUninstallNameFormat = 48;  // (text 81): menu entry of the program's copy
constexpr uint32_t kTextLayoutName = 81;           // the layout's name in titles; content of value 17
constexpr uint32_t kTextAssocSought = 45;          // sought, upper case, in the associated program

// ---- System operations ---------------------------------------------------------------------

constexpr uint32_t kTextRedirectionOffProc = 56;  // switches file-system redirection off
constexpr uint32_t kTextRedirectionOnProc = 57;   // switches it back on
constexpr uint32_t kTextDeleteKey64Proc = 59;     // deletes a key in the 64-bit view
constexpr uint32_t kTextSystemFolder32Proc = 60;  // gives the 32-bit system folder
constexpr uint32_t kTextRegistryLibrary = 145;    // library of export 59
constexpr uint32_t kTextTempPrefix = 47;          // prefix of every temporary file
constexpr uint32_t kTextRelatedFileType = 41;     // file type of the welcome page's open button
constexpr uint32_t kTextOpenCommandFormat = 2;    // (program, document): opens the related document
constexpr uint32_t kTextRelatedDocument = 95;

// ---- Layout image customisation ------------------------------------------------------------

constexpr uint32_t kTextLayoutFileName = 83;  // layout library file; content of value 18
constexpr uint32_t kPatternTextFirst = 146;   // hexadecimal search patterns 146-151
constexpr uint32_t kTextDecimalKeyPattern = 146;  // characters of the keypad's decimal key
constexpr uint32_t kTextMainTablePattern0 = 147;  // table of virtual keys, variant 0
constexpr uint32_t kTextMainTablePattern1 = 148;
constexpr uint32_t kTextMainTablePattern2 = 149;
constexpr uint32_t kTextE0ListPattern = 150;      // list of keys sent with the E0 prefix
constexpr uint32_t kTextE1ListPattern = 151;      // list of keys sent with the E1 prefix
constexpr uint32_t kPatternTextLast = 151;

// ---- Install and uninstall procedures ------------------------------------------------------

constexpr uint32_t kTextInstallFailed = 143;        // message of the setup page
constexpr uint32_t kTextSetALinkDescription = 121;
constexpr uint32_t kTextSetBLinkDescription = 35;
constexpr uint32_t kTextSetCLinkDescription = 122;
constexpr uint32_t kTextSetCIcon = 52;              // icon location of the set C links
constexpr uint32_t kTextSetCContent = 67;           // Windows 5.1 and later
constexpr uint32_t kTextSetCContentOld = 68;        // before Windows 5.1
constexpr uint32_t kTextSetDContentFormat = 69;     // (installation folder, text 80)
constexpr uint32_t kTextScriptCommand = 49;         // (script path): runs input-language scripts
constexpr uint32_t kTextScriptFormat = 62;          // (language, text 85, text 64 or empty)
// (text 90, language, text 85, text 64 or empty, language, language)
constexpr uint32_t kTextScriptFormatWithExtra = 63;
constexpr uint32_t kTextScriptDefaultFlag = 64;
constexpr uint32_t kTextScriptExtra = 90;           // when non-empty, Windows 6.2 on uses text 63
constexpr uint32_t kTextRemovalScriptOld = 65;      // before Windows 6.0 ("", "")
constexpr uint32_t kTextRemovalScript = 66;         // ("", the recorded input language)
constexpr uint32_t kTextEarlierDocumentName = 77;   // earlier installer's document and link
constexpr uint32_t kTextEarlierTextName = 78;       // earlier installer's text file and link

// ---- Installation record and system registration -------------------------------------------

constexpr uint32_t kTextRecordKey = 7;      // HKLM; then 8, then 10: the installation key
constexpr uint32_t kTextRecordSubKey = 8;
constexpr uint32_t kTextLinkSetKey = 24;    // below the installation key; then 23
constexpr uint32_t kTextSettingsKey = 36;   // below the installation key; then 89
constexpr uint32_t kTextSettingsSubKey = 89;  // also the banner's middle part
constexpr uint32_t kTextValuePrevUserLayout = 11;
constexpr uint32_t kTextPrevUserLayoutFormat = 12;  // (language identifier, layout name)
constexpr uint32_t kTextValueUseCount = 21;
constexpr uint32_t kTextValueSetCFile = 72;
constexpr uint32_t kTextValueSetCMenuLink = 73;
constexpr uint32_t kTextValueSetCDesktopLink = 74;
constexpr uint32_t kTextValueSetDMenuFile = 75;
constexpr uint32_t kTextValueSetDDesktopFile = 76;
constexpr uint32_t kTextValueFileE = 79;
constexpr uint32_t kTextValueSetBFile = 31;
constexpr uint32_t kTextValueSetBMenuLink = 32;
constexpr uint32_t kTextValueSetBDesktopLink = 33;
constexpr uint32_t kTextValueLinkVersion = 34;
constexpr uint32_t kTextValueSetAFile = 25;
constexpr uint32_t kTextValueSetAMenuLink = 26;
constexpr uint32_t kTextValueSetADesktopLink = 27;
constexpr uint32_t kTextValueLinkSetVersion = 28;
constexpr uint32_t kTextValueLinkCount = 29;
constexpr uint32_t kTextValueSelfCopy = 37;
constexpr uint32_t kTextValueSelfLink = 38;
constexpr uint32_t kTextValueInstalledId = 39;
constexpr uint32_t kTextValueKeyPairs = 157;
constexpr uint32_t kTextValueVariant = 158;
constexpr uint32_t kTextValueDecimalKey = 159;
constexpr uint32_t kTextValueAltImageA = 155;
constexpr uint32_t kTextValueAltImageB = 156;
constexpr uint32_t kTextLayoutsKey = 3;           // HKLM parent of the layout entry
constexpr uint32_t kTextLayoutEntryKey = 85;      // the layout entry below text 3; also a script argument
constexpr uint32_t kTextLayoutNameValue = 17;     // holds text 81
constexpr uint32_t kTextLayoutFileValue = 18;     // holds text 83
constexpr uint32_t kTextLayoutMatchValue = 19;    // holds text 84; with 17 and 18 identifies the layout
constexpr uint32_t kTextLayoutMatchText = 84;
constexpr uint32_t kTextLayoutExtraValue = 20;    // holds text 87; written, never compared
constexpr uint32_t kTextLayoutExtraText = 87;
constexpr uint32_t kTextScancodeMapKey = 5;
constexpr uint32_t kTextScancodeMapValue = 6;
constexpr uint32_t kTextSwitchKeysKey = 13;       // HKCU
constexpr uint32_t kTextSwitchValue1 = 14;        // each set to "3"
constexpr uint32_t kTextSwitchValue2 = 15;
constexpr uint32_t kTextSwitchValue3 = 16;

// ---- Window framework and wizard -----------------------------------------------------------

constexpr uint32_t kTextBannerFontFace = 40;
constexpr uint32_t kTextBannerHead = 0;      // banner "0 89 82"; also the argument of text 129
constexpr uint32_t kTextBannerTail = 82;
constexpr uint32_t kTextCloseQuestion = 96;
constexpr uint32_t kTextCancel = 98;
constexpr uint32_t kTextNext = 99;
constexpr uint32_t kTextBack = 100;          // also OK of the expert pages

// Welcome and licence pages.
constexpr uint32_t kTextWelcomeTitleFormat = 97;           // (text 81)
constexpr uint32_t kTextWelcomeTitleInstalledFormat = 141; // (text 81)
constexpr uint32_t kTextWelcomeBody = 131;
constexpr uint32_t kTextWelcomeBodyInstalled = 136;        // also the finish title after an install
constexpr uint32_t kTextUiLanguageLabel = 1;
constexpr uint32_t kTextUiLanguage0 = 92;                  // list item of interface language 0
constexpr uint32_t kTextUiLanguage1 = 91;                  // list item of interface language 1
constexpr uint32_t kTextRemoveButton = 127;
constexpr uint32_t kTextChangeSettingsButton = 128;
constexpr uint32_t kTextOpenDocumentButton = 140;
constexpr uint32_t kTextRemoveQuestionFormat = 129;        // (text 0)
constexpr uint32_t kTextLicenceTitle = 132;
constexpr uint32_t kTextLicenceAccepted = 105;

// Setup page.
constexpr uint32_t kTextSetupLanguageLabelFormat = 101;    // (text 81)
constexpr uint32_t kTextLanguageScriptBoxFormat = 102;     // (language name " - " text 81)
constexpr uint32_t kTextUserHotkeysBox = 139;
constexpr uint32_t kTextDesktopLinksBox = 106;
constexpr uint32_t kTextAltImageBox = 108;
constexpr uint32_t kTextVariantLabel = 110;
constexpr uint32_t kTextDecimalKeyLabel = 111;
constexpr uint32_t kTextSetupNote = 112;
constexpr uint32_t kTextInstallButton = 104;
constexpr uint32_t kTextVariant0 = 113;                    // variant names; also searched for text 88
constexpr uint32_t kTextVariant1 = 114;
constexpr uint32_t kTextVariant2 = 115;
constexpr uint32_t kTextDecimalComma = 119;                // decimal key types a comma
constexpr uint32_t kTextDecimalKept = 120;                 // decimal key as the image has it

// Expert pages: page names, and the key captions (captionText of app/key_table.h).
constexpr uint32_t kTextExpertPage1 = 152;
constexpr uint32_t kTextExpertPage2 = 153;
constexpr uint32_t kTextNoChange = 154;                    // "no change" choice; end mark caption
constexpr uint32_t kTextKeyCaptionFirst = 162;             // key captions lie in 162-326, with gaps
constexpr uint32_t kTextKeySwitchedOff = 326;              // choice of value 255; caption of key FF
constexpr uint32_t kTextKeyCaptionLast = 326;

// Finish page.
constexpr uint32_t kTextFinishRemovedBody = 130;
constexpr uint32_t kTextFinishBody = 135;                  // Windows 6.0 and later
constexpr uint32_t kTextAssocMissingNote = 133;            // appended when the association check failed
constexpr uint32_t kTextFinishButton = 137;

// ---- Optional texts: a package may leave them out -------------------------------------------

// Message of the setup page when the install refused to touch another layout's entry (the layout
// identifier of text 85 or the layout id of text 87 belongs to another layout); without it the
// page shows text 143.
constexpr uint32_t kTextLayoutTaken = 160;

// Values of the installation key that let the last removal undo what the installation changed for
// the user: the input language its script registered (a DWORD; without it the removal script gets
// the package's language, text 86), and the switching values 14, 15 and 16 it replaced (each the
// value the user had, empty when the user had none; without them the values stay as they are).
constexpr uint32_t kTextValueInputLanguage = 327;
constexpr uint32_t kTextValueReplacedSwitchKey1 = 328;  // then 329, 330 for values 15, 16

// The entry in Installed apps: the version and the publisher it shows (packager check warns when
// a package lacks them; the entry is written without them).
constexpr uint32_t kTextDisplayVersion = 331;
constexpr uint32_t kTextPublisher = 332;
// The switches, shown for /? and for a switch that is unknown or malformed (a language table).
constexpr uint32_t kTextUsage = 333;
// The shell verb that starts the program again through the elevation prompt; without it a filtered
// administrator gets text 123 as before Windows Vista.
constexpr uint32_t kTextElevationVerb = 334;
// (language, text 85): the command each user's next sign-in runs after a removal by the system
// account; without it those users keep the input language.
constexpr uint32_t kTextPerUserUndoCommand = 335;
// The export of library text 144 that names the machine's type (IsWow64Process2, Windows 10 1709
// on), which alone tells an x86 program on ARM64 Windows where it runs; without the text the
// processor is the one text 58 reports, and ARM64 Windows stays unrecognised.
constexpr uint32_t kTextMachinesProc = 336;

// Every identifier above (the optional texts aside), ranges expanded (the key captions exactly as the key table has them),
// ascending and unique: what a package must provide.
constexpr uint32_t kProgramTextIds[] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
    16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,
    32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
    48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 62, 63, 64,
    65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80,
    81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 96,
    97, 98, 99, 100, 101, 102, 104, 105, 106, 108, 110, 111, 112, 113, 114, 115,
    119, 120, 121, 122, 123, 124, 125, 127, 128, 129, 130, 131, 132, 133, 135, 136,
    137, 139, 140, 141, 143, 144, 145, 146, 147, 148, 149, 150, 151, 152, 153, 154,
    155, 156, 157, 158, 159, 162, 166, 167, 168, 169, 173, 174, 175, 176, 177, 178,
    179, 180, 181, 182, 183, 184, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197,
    198, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 213,
    214, 215, 216, 217, 218, 219, 220, 221, 222, 223, 224, 225, 226, 227, 228, 229,
    230, 231, 232, 243, 244, 246, 248, 249, 250, 251, 252, 253, 254, 255, 256, 257,
    258, 259, 260, 261, 262, 263, 264, 265, 266, 267, 268, 269, 270, 271, 272, 273,
    274, 275, 278, 279, 280, 281, 282, 283, 284, 285, 286, 287, 288, 289, 290, 291,
    292, 293, 294, 295, 296, 297, 298, 299, 300, 301, 302, 303, 304, 305, 306, 307,
    308, 309, 310, 311, 312, 313, 314, 315, 317, 326,
};
