#include "tools/packager/virtual_keys.h"

#include <cstring>

namespace {

struct Named {
  uint8_t vk;
  const char* name;
};

// Mouse buttons are no keys of a layout and are left out; digits and letters are their own names.
const Named kNames[] = {
    {0x03, "CANCEL"},       {0x08, "BACK"},          {0x09, "TAB"},           {0x0C, "CLEAR"},
    {0x0D, "RETURN"},       {0x10, "SHIFT"},         {0x11, "CONTROL"},       {0x12, "MENU"},
    {0x13, "PAUSE"},        {0x14, "CAPITAL"},       {0x15, "KANA"},          {0x15, "HANGUL"},
    {0x17, "JUNJA"},        {0x18, "FINAL"},         {0x19, "KANJI"},         {0x19, "HANJA"},
    {0x1B, "ESCAPE"},       {0x1C, "CONVERT"},       {0x1D, "NONCONVERT"},    {0x1E, "ACCEPT"},
    {0x1F, "MODECHANGE"},   {0x20, "SPACE"},         {0x21, "PRIOR"},         {0x22, "NEXT"},
    {0x23, "END"},          {0x24, "HOME"},          {0x25, "LEFT"},          {0x26, "UP"},
    {0x27, "RIGHT"},        {0x28, "DOWN"},          {0x29, "SELECT"},        {0x2A, "PRINT"},
    {0x2B, "EXECUTE"},      {0x2C, "SNAPSHOT"},      {0x2D, "INSERT"},        {0x2E, "DELETE"},
    {0x2F, "HELP"},         {0x5B, "LWIN"},          {0x5C, "RWIN"},          {0x5D, "APPS"},
    {0x5F, "SLEEP"},        {0x6A, "MULTIPLY"},      {0x6B, "ADD"},           {0x6C, "SEPARATOR"},
    {0x6D, "SUBTRACT"},     {0x6E, "DECIMAL"},       {0x6F, "DIVIDE"},        {0x90, "NUMLOCK"},
    {0x91, "SCROLL"},       {0x92, "OEM_NEC_EQUAL"}, {0x93, "OEM_FJ_MASSHOU"}, {0x94, "OEM_FJ_TOUROKU"},
    {0x95, "OEM_FJ_LOYA"},  {0x96, "OEM_FJ_ROYA"},   {0xA0, "LSHIFT"},        {0xA1, "RSHIFT"},
    {0xA2, "LCONTROL"},     {0xA3, "RCONTROL"},      {0xA4, "LMENU"},         {0xA5, "RMENU"},
    {0xA6, "BROWSER_BACK"}, {0xA7, "BROWSER_FORWARD"}, {0xA8, "BROWSER_REFRESH"}, {0xA9, "BROWSER_STOP"},
    {0xAA, "BROWSER_SEARCH"}, {0xAB, "BROWSER_FAVORITES"}, {0xAC, "BROWSER_HOME"}, {0xAD, "VOLUME_MUTE"},
    {0xAE, "VOLUME_DOWN"},  {0xAF, "VOLUME_UP"},     {0xB0, "MEDIA_NEXT_TRACK"}, {0xB1, "MEDIA_PREV_TRACK"},
    {0xB2, "MEDIA_STOP"},   {0xB3, "MEDIA_PLAY_PAUSE"}, {0xB4, "LAUNCH_MAIL"}, {0xB5, "LAUNCH_MEDIA_SELECT"},
    {0xB6, "LAUNCH_APP1"},  {0xB7, "LAUNCH_APP2"},   {0xBA, "OEM_1"},         {0xBB, "OEM_PLUS"},
    {0xBC, "OEM_COMMA"},    {0xBD, "OEM_MINUS"},     {0xBE, "OEM_PERIOD"},    {0xBF, "OEM_2"},
    {0xC0, "OEM_3"},        {0xC1, "ABNT_C1"},       {0xC2, "ABNT_C2"},       {0xDB, "OEM_4"},
    {0xDC, "OEM_5"},        {0xDD, "OEM_6"},         {0xDE, "OEM_7"},         {0xDF, "OEM_8"},
    {0xE1, "OEM_AX"},       {0xE2, "OEM_102"},       {0xE3, "ICO_HELP"},      {0xE4, "ICO_00"},
    {0xE5, "PROCESSKEY"},   {0xE6, "ICO_CLEAR"},     {0xE7, "PACKET"},        {0xE9, "OEM_RESET"},
    {0xEA, "OEM_JUMP"},     {0xEB, "OEM_PA1"},       {0xEC, "OEM_PA2"},       {0xED, "OEM_PA3"},
    {0xEE, "OEM_WSCTRL"},   {0xEF, "OEM_CUSEL"},     {0xF0, "OEM_ATTN"},      {0xF1, "OEM_FINISH"},
    {0xF2, "OEM_COPY"},     {0xF3, "OEM_AUTO"},      {0xF4, "OEM_ENLW"},      {0xF5, "OEM_BACKTAB"},
    {0xF6, "ATTN"},         {0xF7, "CRSEL"},         {0xF8, "EXSEL"},         {0xF9, "EREOF"},
    {0xFA, "PLAY"},         {0xFB, "ZOOM"},          {0xFC, "NONAME"},        {0xFD, "PA1"},
    {0xFE, "OEM_CLEAR"},
};

// NUMPAD0-9 (0x60-0x69) and F1-F24 (0x70-0x87) are numbered.
struct Numbered {
  uint8_t first;
  unsigned count;
  unsigned from;
  const char* prefix;
};
const Numbered kNumbered[] = {{0x60, 10, 0, "NUMPAD"}, {0x70, 24, 1, "F"}};

}  // namespace

std::string VirtualKeyName(uint8_t vk) {
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, static_cast<char>(vk));
  for (const Numbered& range : kNumbered) {
    if (vk >= range.first && vk < range.first + range.count) {
      return range.prefix + std::to_string(vk - range.first + range.from);
    }
  }
  for (const Named& named : kNames) {
    if (named.vk == vk) return named.name;
  }
  return "";
}

bool VirtualKeyOfName(const std::string& name, uint8_t* vk) {
  if (name.size() == 1 && ((name[0] >= '0' && name[0] <= '9') || (name[0] >= 'A' && name[0] <= 'Z'))) {
    *vk = static_cast<uint8_t>(name[0]);
    return true;
  }
  for (const Numbered& range : kNumbered) {
    const size_t length = strlen(range.prefix);
    if (name.size() <= length || name.compare(0, length, range.prefix) != 0) continue;
    const std::string digits = name.substr(length);
    if (digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos ||
        (digits.size() == 2 && digits[0] == '0')) {
      continue;
    }
    const unsigned number = static_cast<unsigned>(std::stoul(digits));
    if (number >= range.from && number < range.from + range.count) {
      *vk = static_cast<uint8_t>(range.first + number - range.from);
      return true;
    }
  }
  for (const Named& named : kNames) {
    if (name == named.name) {
      *vk = named.vk;
      return true;
    }
  }
  return false;
}
