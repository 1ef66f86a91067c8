/*
 * kbddemo.c - demo Polish programmer-style keyboard layout library.
 *
 * Build-time choices:
 *   KBD_VARIANT=0  QWERTY
 *   KBD_VARIANT=1  QWERTZ (the Y and Z keys swapped)
 *   KBD_VARIANT=2  Dvorak letter and punctuation arrangement
 *   KBD_ALT_ROW=1  Shift+` is a dead tilde: ~ then a, c, e, l, n, o, s, x, z
 *                  gives the Polish letter, ~ then Space gives "~"
 *
 * Polish letters are on AltGr (Ctrl+Alt) in every variant:
 *   AltGr+A ą  C ć  E ę  L ł  N ń  O ó  S ś  X ź  Z ż  (with Shift: capitals)
 *   AltGr+U €
 *
 * The keypad decimal key produces "." in this image.
 *
 * The library exports a single function, KbdLayerDescriptor, which returns
 * a pointer to the layout tables.  It has no imports and no entry point code.
 * KL_WOW64 makes the WOW64 edition (kbd_tables.h).
 */
#include <windows.h>   /* VK_* constants only */
#include "kbd_tables.h"

#ifndef KBD_VARIANT
#define KBD_VARIANT 0
#endif
#ifndef KBD_ALT_ROW
#define KBD_ALT_ROW 0
#endif
#if KBD_VARIANT < 0 || KBD_VARIANT > 2
#error "KBD_VARIANT must be 0, 1 or 2"
#endif

#define NONE  KL_WCH_NONE
#define DEAD  KL_WCH_DEAD
#define EXT   KL_KBDEXT
#define MULTI KL_KBDMULTIVK
#define SPCL  KL_KBDSPECIAL
#define NUMP  KL_KBDNUMPAD
#define NOKEY 0xFF

/* Brazilian ABNT keys (not always in the system headers). */
#ifndef VK_ABNT_C1
#define VK_ABNT_C1 0xC1
#endif
#ifndef VK_ABNT_C2
#define VK_ABNT_C2 0xC2
#endif

/* Polish letters (UTF-16). */
#define a_OGONEK 0x0105
#define A_OGONEK 0x0104
#define c_ACUTE  0x0107
#define C_ACUTE  0x0106
#define e_OGONEK 0x0119
#define E_OGONEK 0x0118
#define l_STROKE 0x0142
#define L_STROKE 0x0141
#define n_ACUTE  0x0144
#define N_ACUTE  0x0143
#define o_ACUTE  0x00F3
#define O_ACUTE  0x00D3
#define s_ACUTE  0x015B
#define S_ACUTE  0x015A
#define z_ACUTE  0x017A
#define Z_ACUTE  0x0179
#define z_DOT    0x017C
#define Z_DOT    0x017B
#define EURO     0x20AC

/* ---------------------------------------------------------------------
 * Scan code -> virtual key, scan codes 0x00..0x7E (127 entries).
 * Only the letter/punctuation block differs between the variants.
 * ------------------------------------------------------------------- */
#if KBD_VARIANT == 2
/* Dvorak */
#define S0C VK_OEM_4
#define S0D VK_OEM_6
#define S10 VK_OEM_7
#define S11 VK_OEM_COMMA
#define S12 VK_OEM_PERIOD
#define S13 'P'
#define S14 'Y'
#define S15 'F'
#define S16 'G'
#define S17 'C'
#define S18 'R'
#define S19 'L'
#define S1A VK_OEM_2
#define S1B VK_OEM_PLUS
#define S1E 'A'
#define S1F 'O'
#define S20 'E'
#define S21 'U'
#define S22 'I'
#define S23 'D'
#define S24 'H'
#define S25 'T'
#define S26 'N'
#define S27 'S'
#define S28 VK_OEM_MINUS
#define S2C VK_OEM_1
#define S2D 'Q'
#define S2E 'J'
#define S2F 'K'
#define S30 'X'
#define S31 'B'
#define S32 'M'
#define S33 'W'
#define S34 'V'
#define S35 'Z'
#else
/* QWERTY / QWERTZ */
#define S0C VK_OEM_MINUS
#define S0D VK_OEM_PLUS
#define S10 'Q'
#define S11 'W'
#define S12 'E'
#define S13 'R'
#define S14 'T'
#if KBD_VARIANT == 1
#define S15 'Z'
#else
#define S15 'Y'
#endif
#define S16 'U'
#define S17 'I'
#define S18 'O'
#define S19 'P'
#define S1A VK_OEM_4
#define S1B VK_OEM_6
#define S1E 'A'
#define S1F 'S'
#define S20 'D'
#define S21 'F'
#define S22 'G'
#define S23 'H'
#define S24 'J'
#define S25 'K'
#define S26 'L'
#define S27 VK_OEM_1
#define S28 VK_OEM_7
#if KBD_VARIANT == 1
#define S2C 'Y'
#else
#define S2C 'Z'
#endif
#define S2D 'X'
#define S2E 'C'
#define S2F 'V'
#define S30 'B'
#define S31 'N'
#define S32 'M'
#define S33 VK_OEM_COMMA
#define S34 VK_OEM_PERIOD
#define S35 VK_OEM_2
#endif

static KL_USHORT scan_to_vk[] = {
    /* 00 */ NOKEY, VK_ESCAPE, '1', '2', '3', '4', '5', '6',
    /* 08 */ '7', '8', '9', '0', S0C, S0D, VK_BACK, VK_TAB,
    /* 10 */ S10, S11, S12, S13, S14, S15, S16, S17,
    /* 18 */ S18, S19, S1A, S1B, VK_RETURN, VK_LCONTROL, S1E, S1F,
    /* 20 */ S20, S21, S22, S23, S24, S25, S26, S27,
    /* 28 */ S28, VK_OEM_3, VK_LSHIFT, VK_OEM_5, S2C, S2D, S2E, S2F,
    /* 30 */ S30, S31, S32, S33, S34, S35, VK_RSHIFT | EXT, VK_MULTIPLY | MULTI,
    /* 38 */ VK_LMENU, VK_SPACE, VK_CAPITAL, VK_F1, VK_F2, VK_F3, VK_F4, VK_F5,
    /* 40 */ VK_F6, VK_F7, VK_F8, VK_F9, VK_F10,
             VK_NUMLOCK | EXT | MULTI, VK_SCROLL | MULTI,
             VK_HOME | NUMP | SPCL,
    /* 48 */ VK_UP | NUMP | SPCL, VK_PRIOR | NUMP | SPCL, VK_SUBTRACT,
             VK_LEFT | NUMP | SPCL, VK_CLEAR | NUMP | SPCL,
             VK_RIGHT | NUMP | SPCL, VK_ADD, VK_END | NUMP | SPCL,
    /* 50 */ VK_DOWN | NUMP | SPCL, VK_NEXT | NUMP | SPCL,
             VK_INSERT | NUMP | SPCL, VK_DELETE | NUMP | SPCL,
             VK_SNAPSHOT, NOKEY, VK_OEM_102, VK_F11,
    /* 58 */ VK_F12, VK_CLEAR, NOKEY, NOKEY, NOKEY, NOKEY, NOKEY, NOKEY,
    /* 60 */ NOKEY, NOKEY, NOKEY, NOKEY, VK_F13, VK_F14, VK_F15, VK_F16,
    /* 68 */ VK_F17, VK_F18, VK_F19, VK_F20, VK_F21, VK_F22, VK_F23, NOKEY,
    /* 70 */ NOKEY, NOKEY, NOKEY, VK_ABNT_C1, NOKEY, NOKEY, VK_F24, NOKEY,
    /* 78 */ NOKEY, NOKEY, NOKEY, NOKEY, NOKEY, NOKEY, VK_ABNT_C2
};
typedef char check_scan_count[(sizeof scan_to_vk / sizeof scan_to_vk[0] == 127) ? 1 : -1];

/* Keys sent with an E0 prefix. */
static KL_VSC_VK scan_to_vk_e0[] = {
    { 0x10, VK_MEDIA_PREV_TRACK | EXT },
    { 0x19, VK_MEDIA_NEXT_TRACK | EXT },
    { 0x1C, VK_RETURN           | EXT },
    { 0x1D, VK_RCONTROL         | EXT },
    { 0x20, VK_VOLUME_MUTE      | EXT },
    { 0x21, VK_LAUNCH_APP2      | EXT },
    { 0x22, VK_MEDIA_PLAY_PAUSE | EXT },
    { 0x24, VK_MEDIA_STOP       | EXT },
    { 0x2E, VK_VOLUME_DOWN      | EXT },
    { 0x30, VK_VOLUME_UP        | EXT },
    { 0x32, VK_BROWSER_HOME     | EXT },
    { 0x35, VK_DIVIDE           | EXT },
    { 0x37, VK_SNAPSHOT         | EXT },
    { 0x38, VK_RMENU            | EXT },
    { 0x46, VK_CANCEL           | EXT },
    { 0x47, VK_HOME             | EXT },
    { 0x48, VK_UP               | EXT },
    { 0x49, VK_PRIOR            | EXT },
    { 0x4B, VK_LEFT             | EXT },
    { 0x4D, VK_RIGHT            | EXT },
    { 0x4F, VK_END              | EXT },
    { 0x50, VK_DOWN             | EXT },
    { 0x51, VK_NEXT             | EXT },
    { 0x52, VK_INSERT           | EXT },
    { 0x53, VK_DELETE           | EXT },
    { 0x5B, VK_LWIN             | EXT },
    { 0x5C, VK_RWIN             | EXT },
    { 0x5D, VK_APPS             | EXT },
    { 0x5F, VK_SLEEP            | EXT },
    { 0x65, VK_BROWSER_SEARCH   | EXT },
    { 0x66, VK_BROWSER_FAVORITES| EXT },
    { 0x67, VK_BROWSER_REFRESH  | EXT },
    { 0x68, VK_BROWSER_STOP     | EXT },
    { 0x69, VK_BROWSER_FORWARD  | EXT },
    { 0x6A, VK_BROWSER_BACK     | EXT },
    { 0x6B, VK_LAUNCH_APP1      | EXT },
    { 0x6C, VK_LAUNCH_MAIL      | EXT },
    { 0x6D, VK_LAUNCH_MEDIA_SELECT | EXT },
    { 0, 0 }
};

/* Keys sent with an E1 prefix. */
static KL_VSC_VK scan_to_vk_e1[] = {
    { 0x1D, VK_PAUSE },
    { 0, 0 }
};

/* ---------------------------------------------------------------------
 * Modifiers.  Columns of the character tables:
 *   0 plain, 1 Shift, 2 Ctrl, 3 AltGr (Ctrl+Alt), 4 Shift+AltGr
 * ------------------------------------------------------------------- */
static KL_VK_TO_BIT vk_to_bits[] = {
    { VK_SHIFT,   KL_KBDSHIFT },
    { VK_CONTROL, KL_KBDCTRL },
    { VK_MENU,    KL_KBDALT },
    { 0, 0 }
};

static KL_MODIFIERS char_modifiers = {
    KL_P(vk_to_bits),
    7,
    {
        0,                  /* 000 plain */
        1,                  /* 001 Shift */
        2,                  /* 010 Ctrl */
        KL_SHFT_INVALID,    /* 011 Shift+Ctrl */
        KL_SHFT_INVALID,    /* 100 Alt */
        KL_SHFT_INVALID,    /* 101 Shift+Alt */
        3,                  /* 110 Ctrl+Alt = AltGr */
        4,                  /* 111 Shift+Ctrl+Alt = Shift+AltGr */
    }
};

/* ---------------------------------------------------------------------
 * Characters.
 * ------------------------------------------------------------------- */
#define CAPS    KL_CAPLOK
#define CAPSALL (KL_CAPLOK | KL_CAPLOKALTGR)
#define CTL(c)  ((c) - 'A' + 1)

#if KBD_ALT_ROW
#define TILDE_SHIFT DEAD
#else
#define TILDE_SHIFT '~'
#endif

/* Five columns: plain, Shift, Ctrl, AltGr, Shift+AltGr. */
static KL_VK_TO_WCHARS5 vk_to_wch5[] = {
    /* digit row */
    { VK_OEM_3,     0, { '`',  TILDE_SHIFT, NONE, NONE, NONE } },
#if KBD_ALT_ROW
    { 0xFF,         0, { NONE, '~',  NONE, NONE, NONE } },  /* dead char */
#endif
    { '1',          0, { '1',  '!',  NONE, NONE, NONE } },
    { '2',          0, { '2',  '@',  NONE, NONE, NONE } },
    { '3',          0, { '3',  '#',  NONE, NONE, NONE } },
    { '4',          0, { '4',  '$',  NONE, NONE, NONE } },
    { '5',          0, { '5',  '%',  NONE, NONE, NONE } },
    { '6',          0, { '6',  '^',  NONE, NONE, NONE } },
    { '7',          0, { '7',  '&',  NONE, NONE, NONE } },
    { '8',          0, { '8',  '*',  NONE, NONE, NONE } },
    { '9',          0, { '9',  '(',  NONE, NONE, NONE } },
    { '0',          0, { '0',  ')',  NONE, NONE, NONE } },
    { VK_OEM_MINUS, 0, { '-',  '_',  NONE, NONE, NONE } },
    { VK_OEM_PLUS,  0, { '=',  '+',  NONE, NONE, NONE } },
    /* punctuation */
    { VK_OEM_4,     0, { '[',  '{',  0x1B, NONE, NONE } },
    { VK_OEM_6,     0, { ']',  '}',  0x1D, NONE, NONE } },
    { VK_OEM_5,     0, { '\\', '|',  0x1C, NONE, NONE } },
    { VK_OEM_102,   0, { '\\', '|',  0x1C, NONE, NONE } },
    { VK_OEM_1,     0, { ';',  ':',  NONE, NONE, NONE } },
    { VK_OEM_7,     0, { '\'', '"',  NONE, NONE, NONE } },
    { VK_OEM_COMMA, 0, { ',',  '<',  NONE, NONE, NONE } },
    { VK_OEM_PERIOD,0, { '.',  '>',  NONE, NONE, NONE } },
    { VK_OEM_2,     0, { '/',  '?',  NONE, NONE, NONE } },
    /* letters */
    { 'A', CAPSALL, { 'a', 'A', CTL('A'), a_OGONEK, A_OGONEK } },
    { 'B', CAPS,    { 'b', 'B', CTL('B'), NONE, NONE } },
    { 'C', CAPSALL, { 'c', 'C', CTL('C'), c_ACUTE,  C_ACUTE  } },
    { 'D', CAPS,    { 'd', 'D', CTL('D'), NONE, NONE } },
    { 'E', CAPSALL, { 'e', 'E', CTL('E'), e_OGONEK, E_OGONEK } },
    { 'F', CAPS,    { 'f', 'F', CTL('F'), NONE, NONE } },
    { 'G', CAPS,    { 'g', 'G', CTL('G'), NONE, NONE } },
    { 'H', CAPS,    { 'h', 'H', CTL('H'), NONE, NONE } },
    { 'I', CAPS,    { 'i', 'I', CTL('I'), NONE, NONE } },
    { 'J', CAPS,    { 'j', 'J', CTL('J'), NONE, NONE } },
    { 'K', CAPS,    { 'k', 'K', CTL('K'), NONE, NONE } },
    { 'L', CAPSALL, { 'l', 'L', CTL('L'), l_STROKE, L_STROKE } },
    { 'M', CAPS,    { 'm', 'M', CTL('M'), NONE, NONE } },
    { 'N', CAPSALL, { 'n', 'N', CTL('N'), n_ACUTE,  N_ACUTE  } },
    { 'O', CAPSALL, { 'o', 'O', CTL('O'), o_ACUTE,  O_ACUTE  } },
    { 'P', CAPS,    { 'p', 'P', CTL('P'), NONE, NONE } },
    { 'Q', CAPS,    { 'q', 'Q', CTL('Q'), NONE, NONE } },
    { 'R', CAPS,    { 'r', 'R', CTL('R'), NONE, NONE } },
    { 'S', CAPSALL, { 's', 'S', CTL('S'), s_ACUTE,  S_ACUTE  } },
    { 'T', CAPS,    { 't', 'T', CTL('T'), NONE, NONE } },
    { 'U', CAPS,    { 'u', 'U', CTL('U'), EURO, NONE } },
    { 'V', CAPS,    { 'v', 'V', CTL('V'), NONE, NONE } },
    { 'W', CAPS,    { 'w', 'W', CTL('W'), NONE, NONE } },
    { 'X', CAPSALL, { 'x', 'X', CTL('X'), z_ACUTE,  Z_ACUTE  } },
    { 'Y', CAPS,    { 'y', 'Y', CTL('Y'), NONE, NONE } },
    { 'Z', CAPSALL, { 'z', 'Z', CTL('Z'), z_DOT,    Z_DOT    } },
    { 0, 0, { 0, 0, 0, 0, 0 } }
};

/* Three columns: plain, Shift, Ctrl. */
static KL_VK_TO_WCHARS3 vk_to_wch3[] = {
    { VK_BACK,   0, { 0x08, 0x08, 0x7F } },
    { VK_ESCAPE, 0, { 0x1B, 0x1B, 0x1B } },
    { VK_RETURN, 0, { '\r', '\r', '\n' } },
    { VK_SPACE,  0, { ' ',  ' ',  ' '  } },
    { VK_CANCEL, 0, { 0x03, 0x03, 0x03 } },
    { 0, 0, { 0, 0, 0 } }
};

/* Two columns: plain, Shift.  The keypad's decimal key comes first: the
 * installer finds its two characters by the bytes that start there (the
 * characters, then the Tab record) and writes "," over both when the user
 * asks for a decimal comma.  Shift+decimal with Num Lock on sends Delete,
 * so the second column only matters with Num Lock off. */
static KL_VK_TO_WCHARS2 vk_to_wch2[] = {
    { VK_DECIMAL,  0, { '.',  '.'  } },
    { VK_TAB,      0, { '\t', '\t' } },
    { VK_ADD,      0, { '+',  '+'  } },
    { VK_DIVIDE,   0, { '/',  '/'  } },
    { VK_MULTIPLY, 0, { '*',  '*'  } },
    { VK_SUBTRACT, 0, { '-',  '-'  } },
    { 0, 0, { 0, 0 } }
};

/* One column: the keypad digits with Num Lock on. */
static KL_VK_TO_WCHARS1 vk_to_wch1_numpad[] = {
    { VK_NUMPAD0, 0, { '0' } },
    { VK_NUMPAD1, 0, { '1' } },
    { VK_NUMPAD2, 0, { '2' } },
    { VK_NUMPAD3, 0, { '3' } },
    { VK_NUMPAD4, 0, { '4' } },
    { VK_NUMPAD5, 0, { '5' } },
    { VK_NUMPAD6, 0, { '6' } },
    { VK_NUMPAD7, 0, { '7' } },
    { VK_NUMPAD8, 0, { '8' } },
    { VK_NUMPAD9, 0, { '9' } },
    { 0, 0, { 0 } }
};

#define WCH_TABLE(arr, n) \
    { KL_P((KL_VK_TO_WCHARS1 *)(arr)), (n), sizeof((arr)[0]) }

static KL_VK_TO_WCHAR_TABLE vk_to_wchar_tables[] = {
    WCH_TABLE(vk_to_wch3, 3),
    WCH_TABLE(vk_to_wch5, 5),
    WCH_TABLE(vk_to_wch2, 2),
    WCH_TABLE(vk_to_wch1_numpad, 1),
    { KL_P(0), 0, 0 }
};

/* ---------------------------------------------------------------------
 * Dead keys (alternative row only).
 * ------------------------------------------------------------------- */
static KL_DEADKEY dead_keys[] = {
#if KBD_ALT_ROW
    KL_DEADTRANS('a', '~', a_OGONEK, 0),
    KL_DEADTRANS('A', '~', A_OGONEK, 0),
    KL_DEADTRANS('c', '~', c_ACUTE,  0),
    KL_DEADTRANS('C', '~', C_ACUTE,  0),
    KL_DEADTRANS('e', '~', e_OGONEK, 0),
    KL_DEADTRANS('E', '~', E_OGONEK, 0),
    KL_DEADTRANS('l', '~', l_STROKE, 0),
    KL_DEADTRANS('L', '~', L_STROKE, 0),
    KL_DEADTRANS('n', '~', n_ACUTE,  0),
    KL_DEADTRANS('N', '~', N_ACUTE,  0),
    KL_DEADTRANS('o', '~', o_ACUTE,  0),
    KL_DEADTRANS('O', '~', O_ACUTE,  0),
    KL_DEADTRANS('s', '~', s_ACUTE,  0),
    KL_DEADTRANS('S', '~', S_ACUTE,  0),
    KL_DEADTRANS('x', '~', z_ACUTE,  0),
    KL_DEADTRANS('X', '~', Z_ACUTE,  0),
    KL_DEADTRANS('z', '~', z_DOT,    0),
    KL_DEADTRANS('Z', '~', Z_DOT,    0),
    KL_DEADTRANS(' ', '~', '~',      0),
#endif
    { 0, 0, 0 }
};

#if KBD_ALT_ROW
static KL_WCHAR dead_name_tilde[] = { '~', 'T','I','L','D','E', 0 };
#endif

static KL_WCHAR_PTR dead_key_names[] = {
#if KBD_ALT_ROW
    KL_P(dead_name_tilde),
#endif
    KL_P(0)
};

/* ---------------------------------------------------------------------
 * Key names.
 * ------------------------------------------------------------------- */
static KL_VSC_LPWSTR key_names[] = {
    { 0x01, KL_P((KL_WCHAR *)L"Esc") },
    { 0x0E, KL_P((KL_WCHAR *)L"Backspace") },
    { 0x0F, KL_P((KL_WCHAR *)L"Tab") },
    { 0x1C, KL_P((KL_WCHAR *)L"Enter") },
    { 0x1D, KL_P((KL_WCHAR *)L"Ctrl") },
    { 0x2A, KL_P((KL_WCHAR *)L"Shift") },
    { 0x36, KL_P((KL_WCHAR *)L"Right Shift") },
    { 0x37, KL_P((KL_WCHAR *)L"Num *") },
    { 0x38, KL_P((KL_WCHAR *)L"Alt") },
    { 0x39, KL_P((KL_WCHAR *)L"Space") },
    { 0x3A, KL_P((KL_WCHAR *)L"Caps Lock") },
    { 0x3B, KL_P((KL_WCHAR *)L"F1") },
    { 0x3C, KL_P((KL_WCHAR *)L"F2") },
    { 0x3D, KL_P((KL_WCHAR *)L"F3") },
    { 0x3E, KL_P((KL_WCHAR *)L"F4") },
    { 0x3F, KL_P((KL_WCHAR *)L"F5") },
    { 0x40, KL_P((KL_WCHAR *)L"F6") },
    { 0x41, KL_P((KL_WCHAR *)L"F7") },
    { 0x42, KL_P((KL_WCHAR *)L"F8") },
    { 0x43, KL_P((KL_WCHAR *)L"F9") },
    { 0x44, KL_P((KL_WCHAR *)L"F10") },
    { 0x45, KL_P((KL_WCHAR *)L"Pause") },
    { 0x46, KL_P((KL_WCHAR *)L"Scroll Lock") },
    { 0x47, KL_P((KL_WCHAR *)L"Num 7") },
    { 0x48, KL_P((KL_WCHAR *)L"Num 8") },
    { 0x49, KL_P((KL_WCHAR *)L"Num 9") },
    { 0x4A, KL_P((KL_WCHAR *)L"Num -") },
    { 0x4B, KL_P((KL_WCHAR *)L"Num 4") },
    { 0x4C, KL_P((KL_WCHAR *)L"Num 5") },
    { 0x4D, KL_P((KL_WCHAR *)L"Num 6") },
    { 0x4E, KL_P((KL_WCHAR *)L"Num +") },
    { 0x4F, KL_P((KL_WCHAR *)L"Num 1") },
    { 0x50, KL_P((KL_WCHAR *)L"Num 2") },
    { 0x51, KL_P((KL_WCHAR *)L"Num 3") },
    { 0x52, KL_P((KL_WCHAR *)L"Num 0") },
    { 0x53, KL_P((KL_WCHAR *)L"Num Del") },
    { 0x54, KL_P((KL_WCHAR *)L"Sys Req") },
    { 0x57, KL_P((KL_WCHAR *)L"F11") },
    { 0x58, KL_P((KL_WCHAR *)L"F12") },
    { 0, KL_P(0) }
};

static KL_VSC_LPWSTR key_names_ext[] = {
    { 0x1C, KL_P((KL_WCHAR *)L"Num Enter") },
    { 0x1D, KL_P((KL_WCHAR *)L"Right Ctrl") },
    { 0x35, KL_P((KL_WCHAR *)L"Num /") },
    { 0x37, KL_P((KL_WCHAR *)L"Prnt Scrn") },
    { 0x38, KL_P((KL_WCHAR *)L"Right Alt") },
    { 0x45, KL_P((KL_WCHAR *)L"Num Lock") },
    { 0x46, KL_P((KL_WCHAR *)L"Break") },
    { 0x47, KL_P((KL_WCHAR *)L"Home") },
    { 0x48, KL_P((KL_WCHAR *)L"Up") },
    { 0x49, KL_P((KL_WCHAR *)L"Page Up") },
    { 0x4B, KL_P((KL_WCHAR *)L"Left") },
    { 0x4D, KL_P((KL_WCHAR *)L"Right") },
    { 0x4F, KL_P((KL_WCHAR *)L"End") },
    { 0x50, KL_P((KL_WCHAR *)L"Down") },
    { 0x51, KL_P((KL_WCHAR *)L"Page Down") },
    { 0x52, KL_P((KL_WCHAR *)L"Insert") },
    { 0x53, KL_P((KL_WCHAR *)L"Delete") },
    { 0x54, KL_P((KL_WCHAR *)L"<00>") },
    { 0x56, KL_P((KL_WCHAR *)L"Help") },
    { 0x5B, KL_P((KL_WCHAR *)L"Left Windows") },
    { 0x5C, KL_P((KL_WCHAR *)L"Right Windows") },
    { 0x5D, KL_P((KL_WCHAR *)L"Application") },
    { 0, KL_P(0) }
};

/* ---------------------------------------------------------------------
 * The descriptor.
 * ------------------------------------------------------------------- */
static KL_KBDTABLES kbd_tables = {
    KL_P(&char_modifiers),
    KL_P(vk_to_wchar_tables),
    KL_P(dead_keys),
    KL_P(key_names),
    KL_P(key_names_ext),
    KL_P(dead_key_names),
    KL_P(scan_to_vk),
    sizeof scan_to_vk / sizeof scan_to_vk[0],
    KL_P(scan_to_vk_e0),
    KL_P(scan_to_vk_e1),
    KL_KLLF_ALTGR | (KL_KBD_VERSION << 16),
    0, 0, KL_P(0), /* no ligatures */
    4, 0          /* keyboard type 4 (enhanced 101/102 keys), subtype 0 */
};

#ifdef KL_WOW64
/* The caller reads a 64-bit pointer (EDX:EAX); its high half is zero. */
__declspec(dllexport) unsigned long long __stdcall KbdLayerDescriptor(void)
{
    return (unsigned long)&kbd_tables;
}
#else
__declspec(dllexport) KL_KBDTABLES *__stdcall KbdLayerDescriptor(void)
{
    return &kbd_tables;
}
#endif

/* Minimal entry point: the library needs no initialisation. */
int __stdcall DllEntry(void *instance, unsigned long reason, void *reserved)
{
    (void)instance; (void)reason; (void)reserved;
    return 1;
}
