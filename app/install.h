// The installer object: one per run, owned by the entry function. It holds the key-block
// holder, the four string tables, the facts about the running system, the choices the wizard
// makes, the paths of an installation, the previous installation's record, the key table and
// the wizard controller. The engine and the pages read and write its fields directly.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/command_line.h"
#include "app/key_table.h"
#include "package/embedded_package.h"
#include "package/guard.h"
#include "strings/gstring.h"
#include "text/tables/text_table.h"

class CWizard;

class CInstallBase {
 public:
  explicit CInstallBase(const EmbeddedPackage& package);

  virtual HWND OwnerWindow();
  virtual bool Init(HINSTANCE instance);
  // Frees the common and language tables and wipes the key block.
  virtual void Release();
  // The record of a text: the language table of m_uiLanguage, then the common table.
  virtual const uint8_t* LookupText(uint32_t id);

  HINSTANCE m_hInstance = nullptr;
  CGuard m_guard;
  TextTable m_textCommon = {};
  TextTable m_textByLanguage[2] = {};
  int32_t m_wizardStep = 0;
  int32_t m_osVersion = 0;  // major * 10 + minor: 50, 51, 52, 60, 61, 62, 63, 100
  uint32_t m_uiLanguage = 0;
  int32_t m_os64 = 0;
  int16_t m_cpuArch = -1;
  GString m_scratch;  // texts needed for one call only

  // The package of this run (the licence blobs are read by the licence page).
  const EmbeddedPackage& Package() const { return m_package; }

 protected:
  // Never deleted through the base: the installer is a local of the entry function.
  ~CInstallBase();

  const EmbeddedPackage& m_package;  // what this run decodes: the built-in package, or a test's
};

class CInstall : public CInstallBase {
 public:
  explicit CInstall(const EmbeddedPackage& package = kEmbeddedPackage);
  virtual ~CInstall();
  CInstall(const CInstall&) = delete;
  CInstall& operator=(const CInstall&) = delete;

  HWND OwnerWindow() override;
  bool Init(HINSTANCE instance) override;
  void Release() override;
  const uint8_t* LookupText(uint32_t id) override;

  // The run between initialisation and shutdown (app/run.cpp): the start-up checks, then the
  // wizard. False: the entry function only destroys the object; true: it shuts down in order.
  bool Run();
  // The start-up checks alone, up to the wizard (Run reads the switches before them): kRefused and
  // kEnded are Run's false and true; kOpenWizard means every check passed and the record was read.
  enum class StartUp { kRefused, kEnded, kOpenWizard };
  StartUp StartUpChecks();
  void Shutdown();

  // Start-up checks (app/run.cpp, app/paths.cpp)
  int ShowMessage(uint32_t textId, UINT type);  // the pressed button; 0 without a controller or when quiet
  bool IsSupportedPlatform() const;
  bool ActivateRunningCopy();  // false when another copy runs (it is brought to the front)
  bool HasCyrillicLayout() const;
  bool ComposePaths();
  // Starts the program again through the elevation prompt with the same arguments and waits for
  // it: 1 when it ran (m_exitCode is then its exit code), 0 when the prompt was declined or failed.
  int RelaunchElevated();

  // The command line and unattended runs (app/unattended.cpp)
  int ReadSwitches();   // 0: a switch is unknown or malformed; opens the /log file
  void ShowUsage();     // the message, or the log's line when quiet
  void ApplySwitches(); // over the record's settings: the choices the switches give
  bool RunUnattended(); // /quiet or /peruser: the procedure without a window; Run's result
  uint32_t WizardOutcome() const;  // the exit code of a run of the wizard
  uint32_t Finish();    // logs and returns the exit code; closes the log
  void LogLine(const char* utf8);
  int Logged(const char* step, int outcome);  // one line "step: done|failed"; returns outcome

  // Texts
  bool GetText(uint32_t id, GString& out);
  int GetTextBlob(const BlobRef& blob, GString& out);

  // Settings
  bool SetUiLanguage(uint32_t language);
  int32_t DetectVariant();
  int32_t SetVariant(int32_t variant);
  int32_t DetectDecimalKey();
  int32_t SetDecimalKey(int32_t key);
  int32_t GetAltImageA() const { return m_altImageA; }
  int32_t SetAltImageA(int32_t value);
  int32_t SetModifyOnly(int32_t value);
  bool WriteCompletionMark();

  // ---- System operations (engine/). Text-id forms fetch the name first and fail without
  // touching the system when the text is missing. Keys, handles and buffers returned belong to
  // the caller. Results: non-zero (or non-null) on success.

  // Registry (engine/registry.cpp)
  HKEY OpenKey(HKEY parent, const WChar* subKey, REGSAM access);
  HKEY OpenKey(HKEY parent, uint32_t subKeyText, REGSAM access);
  HKEY CreateKey(HKEY parent, const WChar* subKey, REGSAM access);
  HKEY CreateKey(HKEY parent, uint32_t subKeyText, REGSAM access);
  int SetBinaryValue(HKEY key, const WChar* name, const uint8_t* data, uint32_t size);
  int SetBinaryValue(HKEY key, uint32_t nameText, const uint8_t* data, uint32_t size);
  uint8_t* GetBinaryValue(HKEY key, const WChar* name, uint32_t& size);  // caller frees (free)
  uint8_t* GetBinaryValue(HKEY key, uint32_t nameText, uint32_t& size);
  int SetDwordValue(HKEY key, const WChar* name, uint32_t value);
  int SetDwordValue(HKEY key, uint32_t nameText, uint32_t value);
  int GetDwordValue(HKEY key, const WChar* name, uint32_t& value);
  int GetDwordValue(HKEY key, uint32_t nameText, uint32_t& value);
  int SetStringValue(HKEY key, const WChar* name, GString& content);
  int SetStringValue(HKEY key, uint32_t nameText, GString& content);
  int SetStringValue(HKEY key, uint32_t nameText, uint32_t contentText);
  int GetStringValue(HKEY key, const WChar* name, GString& out);
  int GetStringValue(HKEY key, uint32_t nameText, GString& out);
  int StringValueEquals(HKEY key, const WChar* name, GString& expected);
  int StringValueEquals(HKEY key, uint32_t nameText, GString& expected);
  int DeleteValue(HKEY key, const WChar* name);
  int DeleteValue(HKEY key, uint32_t nameText);
  int DeleteKey(HKEY parent, uint32_t subKeyText);
  int DeleteKey64(HKEY parent, const WChar* subKey);  // in the 64-bit view on 64-bit systems
  int SetMachineTextValue(uint32_t keyText, uint32_t nameText, uint32_t contentText);

  // Files and folders (engine/files.cpp)
  HANDLE CreateOutputFile(const WChar* path);  // null on failure, never INVALID_HANDLE_VALUE
  int WriteBytes(HANDLE file, const uint8_t* data, uint32_t size);
  int WriteText(HANDLE file, GString& text);
  int WriteBlobToFile(const WChar* path, const BlobRef& blob);
  int DeleteFileOrSchedule(const WChar* path);
  int DeleteFileOrSchedule(GString& path);
  int DeleteScriptAtNextStart(GString& path);  // an input-language script, once it surely was read
  int RemoveFolder(GString& path);
  int MakeFolder(const WChar* path);
  int GetSpecialFolder(int csidl, GString& out);
  int GetTempFolder(GString& out);
  int MakeTempFile(GString& out, uint32_t prefixText, const WChar* folder);

  // Shell, rights, processes, libraries, system facts (engine/system.cpp)
  int CreateShortcut(const WChar* target, const WChar* link, const WChar* description, const WChar* icon,
                     int iconIndex);
  int IsAdministrator();
  int CanElevate();    // an administrator whose token User Account Control filtered
  int RunsAsSystem();  // the system account (deployment tools): no person's profile to change
  int RestartSystem();
  int GetAssociatedExecutable(uint32_t fileTypeText, GString& out);
  int AssociatedExecutableContains(uint32_t fileTypeText, uint32_t searchedText);
  int OpenWithAssociated(uint32_t fileTypeText, uint32_t templateText, const WChar* argument);
  int LaunchAndWait(uint32_t templateText, ...);
  HMODULE LoadTextLibrary(uint32_t libraryText);
  FARPROC GetTextProc(uint32_t exportText, uint32_t libraryText, HMODULE& module);
  HMODULE LoadRedirectionControl(FARPROC& disable, FARPROC& revert);
  int QuerySystem(uint32_t exportText, uint32_t libraryText);

  uint16_t m_suiteMask = 0;   // set by QuerySystem
  uint8_t m_productType = 0;  // set by QuerySystem

  // Installation record and system registration (engine/install_record.cpp, engine/registration.cpp)
  // Results: 1 on success, 0 on failure; none shows a message.
  void ReadInstallState();   // old paths, counters, options, m_installedId (0, 130 or the record's)
  int WriteInstallRecord();  // whole record, or only the settings when m_modifyOnly is set
  int RemoveInstallRecord(); // settings always; link set at m_linkCount 0; the rest at m_useCount 0
  int RegisterLayoutEntry();
  int UnregisterLayoutEntry();
  int SetSwitchKeys();       // per-user switching values; their key is created when missing
  // At the last removal: the switching values the installation replaced, where they still hold
  // what it wrote.
  void RestoreSwitchKeys();
  // 1 when the layout entry of text 85 is absent or ours (layout file and product code as ours)
  // and no other entry uses our layout id (text 87): an install may write it.
  int LayoutEntryIsFree();
  int ReadScancodeMap();     // always 0; fills hardwareCode and m_scancodeMapRead
  int WriteScancodeMap();

  // Layout library images (engine/layout_images.cpp). Results: 1 on success, 0 on failure.
  // A pattern text as bytes (caller frees with free()); null for a missing, empty or non-hex
  // text; count is set as soon as the text is known.
  uint8_t* HexTextToBytes(uint32_t textId, int32_t& count);
  // The system folder's library (32-bit view) and, on 64-bit systems, the native one; the
  // staging files in the installation folder (either out may be null). Paths not used are empty.
  int GetLayoutFilePaths(GString& systemTarget, GString& nativeTarget, GString* staging, GString* nativeStaging);
  // Decodes the image, patches it (key reassignments, decimal comma), writes it to staging and
  // registers its move to target at the next start (0 when the system does not record it).
  // Nothing is written unless every patch step succeeded.
  int CustomiseLayoutImage(GString& target, GString& staging, const uint8_t* blob, uint32_t storedSize);
  // The images for m_osVersion and m_cpuArch from the row of m_variant (alternative row when
  // an alt option is set); image64, the native one, stays empty where the system needs no
  // 64-bit image (engine/layout_choice.h).
  int ChooseLayoutImages(BlobRef& image32, BlobRef& image64) const;
  int InstallLayoutImages();

  // Install procedure (engine/install.cpp). Results: 1 on success, 0 on failure; none shows a
  // message, and nothing is rolled back.
  int Install();
  int InstallFiles();
  int WriteSetCFile(const WChar* path);
  int RegisterInputLanguage(uint16_t languageId, int makeDefault);
  int RemoveOldVersionFiles(int withSystemFiles);
  // Takes back what earlier runs left for the next start on our own files (library targets,
  // staging files, our folders and what lies in them), so that this run's work is what happens.
  int WithdrawPendingOperations();
  // The entry in Installed apps (engine/uninstall_entry.cpp).
  int WriteUninstallEntry();
  int RemoveUninstallEntry();
  // Per-user steps when the system account installs (engine/per_user.cpp): arranged for each
  // user's next sign-in, the undo likewise at the removal; RunPerUserSteps is the stub's work.
  int ArrangePerUserSteps();
  int ArrangePerUserRemoval();
  int RunPerUserSteps();

  // Uninstall procedure (engine/uninstall.cpp).
  int Uninstall();
  int RunRemovalScript();
  // Schedules the layout library files for deletion at the next start: on 64-bit systems both,
  // within the redirection bracket; on 32-bit systems the system target. Empty paths are skipped.
  void ScheduleLayoutLibraryDeletion(GString& systemTarget, GString& nativeTarget);
  // RemoveFolder; when only entries that the next start deletes or moves away keep the folder
  // (the running copy of the program, staged layout libraries), its removal is scheduled after
  // them. 1 when removed or scheduled.
  int RemoveFolderOrSchedule(GString& folder);

  // Key table (the installer's copy)
  const KeyEntry* FindDefaultKey(uint32_t code) const;
  KeyEntry* FindKey(uint32_t code);
  bool NormaliseKeys();
  bool MergeKeyPairs(uint8_t* buffer, uint32_t size);  // frees buffer
  uint8_t* ExportKeyPairs(uint32_t& size);             // caller frees

  uint16_t m_packageLangId = 0;
  uint16_t m_layoutLangId = 0;
  int32_t m_optLanguageScript = 1;
  int32_t m_assocMatch = 0;
  int32_t m_isAdmin = 0;
  int32_t m_uninstallDone = 0;
  int32_t m_installDone = 0;
  int32_t m_restartRequested = 0;
  int32_t m_eulaAccepted = 0;
  int32_t m_optUserHotkeys = 1;
  int32_t m_optDesktopLinks = 1;
  int32_t m_desktopMadeC = 0;
  int32_t m_desktopMadeA = 0;
  int32_t m_desktopMadeB = 0;
  int32_t m_variant = -1;
  int32_t m_decimalKey = -1;
  int32_t m_altImageA = 0;
  int32_t m_altImageB = 0;
  int32_t m_modifyOnly = 0;
  int32_t m_scancodeMapRead = 0;
  KeyEntry* m_keyTable = nullptr;  // owned (malloc)
  int32_t m_keyCount = kKeyTableCount;
  TextTable m_textExtra = {};
  CWizard* m_wizard = nullptr;  // owned

  // Constructed in this order, destroyed in reverse. Sets A, B, C: [0] file in the installation
  // folder, [1] program-menu entry, [2] desktop entry; set D: [0] menu entry, [1] desktop entry.
  // The old ones come from the previous installation's record.
  GString m_layoutLangName;
  GString m_prevUserLayout;
  GString m_dirProgramsRoot;
  GString m_dirInstall;
  GString m_dirMenuRoot;
  GString m_dirMenu;
  GString m_oldSetA[3];
  GString m_setA[3];
  GString m_oldSetB[3];
  GString m_setB[3];
  GString m_oldSetC[3];
  GString m_setC[3];
  GString m_oldSetD[2];
  GString m_setD[2];
  GString m_oldFileE;
  GString m_fileE;
  GString m_selfPath;
  GString m_uninstName;
  GString m_oldSelfCopy;
  GString m_selfCopy;
  GString m_oldSelfLink;
  GString m_selfLink;

  uint32_t m_oldLinkVersion = 0;   // recorded with the previous set B; below 190: older layout
  uint32_t m_oldLinkVersion2 = 0;  // recorded with the previous set A
  int32_t m_linkCount = 0;
  uint32_t m_installedId = 0;  // 190 from this installer, 130 from an older one, 0 = none
  uint32_t m_useCount = 0;
  // The input language the installation registered (0: none recorded; the removal then takes the
  // package's language), and the switching values it replaced ([i] recorded: m_switchKeysRecorded
  // bit i; an empty text: the user had none).
  uint32_t m_recordedLangId = 0;
  // The command line's switches, the /log file, the run's exit code (app/exit_codes.h).
  Switches m_switches;
  HANDLE m_log = nullptr;
  uint32_t m_exitCode = 1603;
  int32_t m_procedureFailed = 0;  // an installation or removal of this run returned 0
  int32_t m_settingsChanged = 0;  // a change of settings was made
  int32_t m_runsAsSystem = 0;
  uint32_t m_switchKeysRecorded = 0;
  GString m_replacedSwitchKeys[3];
  // The message the setup page shows when Install fails: text 143, or the reason of a refusal.
  uint32_t m_installFailureText = 143;

 private:
  bool AttachTable(const BlobRef& blob, TextTable& table);
};
