#include "app/text_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "app/key_table.h"

namespace {

bool Listed(uint32_t id) {
  return std::binary_search(std::begin(kProgramTextIds), std::end(kProgramTextIds), id);
}

TEST(ProgramTextIds, AscendingAndUnique) {
  for (size_t i = 1; i < std::size(kProgramTextIds); ++i) {
    SCOPED_TRACE(i);
    EXPECT_LT(kProgramTextIds[i - 1], kProgramTextIds[i]);
  }
}

TEST(ProgramTextIds, ListsEveryNamedText) {
#define ID(name) {#name, name}
  const struct {
    const char* name;
    uint32_t id;
  } rows[] = {
      ID(kTextPackageLangId), ID(kTextCompletionKey), ID(kTextCompletionValueNew),
      ID(kTextCompletionValueOld), ID(kTextNativeSystemInfoProc), ID(kTextSystemLibrary),
      ID(kTextUnsupportedPlatform), ID(kTextWindowClass), ID(kTextAdminRequired),
      ID(kTextNoCyrillicLayout), ID(kTextHandOverVerb), ID(kTextHandOverFile), ID(kTextHandOverParameters),
      ID(kTextMessageCaption), ID(kTextVariantSelector), ID(kTextProgramsFolder), ID(kTextProductFolder),
      ID(kTextSetAName), ID(kTextSetAQualifier), ID(kTextSetBName), ID(kTextSetCName), ID(kTextSetDName),
      ID(kTextDocumentEnding), ID(kTextLinkEnding), ID(kTextSetCEnding), ID(kTextSetDEnding),
      ID(kTextFileEName), ID(kTextUninstallNameFormat), ID(kTextLayoutName), ID(kTextAssocSought),
      ID(kTextRedirectionOffProc), ID(kTextRedirectionOnProc), ID(kTextDeleteKey64Proc),
      ID(kTextSystemFolder32Proc), ID(kTextRegistryLibrary), ID(kTextTempPrefix), ID(kTextRelatedFileType),
      ID(kTextOpenCommandFormat), ID(kTextRelatedDocument), ID(kTextLayoutFileName), ID(kPatternTextFirst),
      ID(kTextDecimalKeyPattern), ID(kTextMainTablePattern0), ID(kTextMainTablePattern1),
      ID(kTextMainTablePattern2), ID(kTextE0ListPattern), ID(kTextE1ListPattern), ID(kPatternTextLast),
      ID(kTextInstallFailed), ID(kTextSetALinkDescription), ID(kTextSetBLinkDescription),
      ID(kTextSetCLinkDescription), ID(kTextSetCIcon), ID(kTextSetCContent), ID(kTextSetCContentOld),
      ID(kTextSetDContentFormat), ID(kTextScriptCommand), ID(kTextScriptFormat),
      ID(kTextScriptFormatWithExtra), ID(kTextScriptDefaultFlag), ID(kTextScriptExtra),
      ID(kTextRemovalScriptOld), ID(kTextRemovalScript), ID(kTextEarlierDocumentName),
      ID(kTextEarlierTextName), ID(kTextRecordKey), ID(kTextRecordSubKey), ID(kTextLinkSetKey),
      ID(kTextSettingsKey), ID(kTextSettingsSubKey), ID(kTextValuePrevUserLayout),
      ID(kTextPrevUserLayoutFormat), ID(kTextValueUseCount), ID(kTextValueSetCFile),
      ID(kTextValueSetCMenuLink), ID(kTextValueSetCDesktopLink), ID(kTextValueSetDMenuFile),
      ID(kTextValueSetDDesktopFile), ID(kTextValueFileE), ID(kTextValueSetBFile),
      ID(kTextValueSetBMenuLink), ID(kTextValueSetBDesktopLink), ID(kTextValueLinkVersion),
      ID(kTextValueSetAFile), ID(kTextValueSetAMenuLink), ID(kTextValueSetADesktopLink),
      ID(kTextValueLinkSetVersion), ID(kTextValueLinkCount), ID(kTextValueSelfCopy),
      ID(kTextValueSelfLink), ID(kTextValueInstalledId), ID(kTextValueKeyPairs), ID(kTextValueVariant),
      ID(kTextValueDecimalKey), ID(kTextValueAltImageA), ID(kTextValueAltImageB), ID(kTextLayoutsKey),
      ID(kTextLayoutEntryKey), ID(kTextLayoutNameValue), ID(kTextLayoutFileValue),
      ID(kTextLayoutMatchValue), ID(kTextLayoutMatchText), ID(kTextLayoutExtraValue),
      ID(kTextLayoutExtraText), ID(kTextScancodeMapKey), ID(kTextScancodeMapValue), ID(kTextSwitchKeysKey),
      ID(kTextSwitchValue1), ID(kTextSwitchValue2), ID(kTextSwitchValue3), ID(kTextBannerFontFace),
      ID(kTextBannerHead), ID(kTextBannerTail), ID(kTextCloseQuestion), ID(kTextCancel), ID(kTextNext),
      ID(kTextBack), ID(kTextWelcomeTitleFormat), ID(kTextWelcomeTitleInstalledFormat),
      ID(kTextWelcomeBody), ID(kTextWelcomeBodyInstalled), ID(kTextUiLanguageLabel), ID(kTextUiLanguage0),
      ID(kTextUiLanguage1), ID(kTextRemoveButton), ID(kTextChangeSettingsButton),
      ID(kTextOpenDocumentButton), ID(kTextRemoveQuestionFormat), ID(kTextLicenceTitle),
      ID(kTextLicenceAccepted), ID(kTextSetupLanguageLabelFormat), ID(kTextLanguageScriptBoxFormat),
      ID(kTextUserHotkeysBox), ID(kTextDesktopLinksBox), ID(kTextAltImageBox), ID(kTextVariantLabel),
      ID(kTextDecimalKeyLabel), ID(kTextSetupNote), ID(kTextInstallButton), ID(kTextVariant0),
      ID(kTextVariant1), ID(kTextVariant2), ID(kTextDecimalComma), ID(kTextDecimalKept),
      ID(kTextExpertPage1), ID(kTextExpertPage2), ID(kTextNoChange), ID(kTextKeyCaptionFirst),
      ID(kTextKeySwitchedOff), ID(kTextKeyCaptionLast), ID(kTextFinishRemovedBody), ID(kTextFinishBody),
      ID(kTextAssocMissingNote), ID(kTextFinishButton),
  };
#undef ID
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(Listed(row.id)) << row.id;
  }
}

TEST(ProgramTextIds, EssentialStartUpTexts) {
  // The texts that initialisation and shutdown cannot do without, and the message caption.
  const uint32_t essential[] = {86, 4, 71, 50, 51, 93};
  for (uint32_t id : essential) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(Listed(id));
  }
  EXPECT_EQ(kTextPackageLangId, 86u);
  EXPECT_EQ(kTextCompletionKey, 4u);
  EXPECT_EQ(kTextSetCName, 71u);  // also the completion mark's value name
  EXPECT_EQ(kTextCompletionValueNew, 50u);
  EXPECT_EQ(kTextCompletionValueOld, 51u);
  EXPECT_EQ(kTextMessageCaption, 93u);
}

TEST(ProgramTextIds, PatternTextsAndKeyCaptions) {
  EXPECT_EQ(kPatternTextFirst, 146u);
  EXPECT_EQ(kPatternTextLast, 151u);
  for (uint32_t id = kPatternTextFirst; id <= kPatternTextLast; ++id) EXPECT_TRUE(Listed(id)) << id;

  // Every caption that the key table names must be provided, and each lies in the caption range
  // (the end mark's caption is the "no change" text).
  for (int i = 0; i < kKeyTableCount - 1; ++i) {
    SCOPED_TRACE(i);
    const uint32_t caption = kDefaultKeys[i].captionText;
    EXPECT_TRUE(Listed(caption)) << caption;
    if (i == kKeyEndMarkIndex) {
      EXPECT_EQ(caption, kTextNoChange);
    } else {
      EXPECT_GE(caption, kTextKeyCaptionFirst);
      EXPECT_LE(caption, kTextKeyCaptionLast);
    }
  }
}

}  // namespace
