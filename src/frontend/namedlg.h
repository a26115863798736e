#pragma once
// The name dialog: a small window drawn by the game over the frozen screen
// that asks for the player's name when a score enters the hall of fame. It
// shows the proposed name in an edit field, with the buttons OK and Cancel.
// Typed text (the device layer's text input) appends to the field up to 31
// characters, Backspace deletes the last one, Enter is OK, Escape is Cancel;
// the mouse, drawn as the dialog cursor sprite, clicks the buttons. Closing
// the window cancels.

enum {
  NAMEDLG_OK = 1,
  NAMEDLG_CANCEL = 2,
  NAMEDLG_MAX_CHARS = 31,  // a hall of fame name
};

// The window's box on the 800 x 600 screen: centred, the caption bar
// included.
enum {
  NAMEDLG_WIDTH = 369,
  NAMEDLG_CAPTION_HEIGHT = 26,
  NAMEDLG_HEIGHT = NAMEDLG_CAPTION_HEIGHT + 94,
  NAMEDLG_LEFT = 400 - NAMEDLG_WIDTH / 2,
  NAMEDLG_TOP = 300 - NAMEDLG_HEIGHT / 2,
};

// Runs the dialog with name (size bytes, Windows-1251) as the proposal: 1
// (OK; name holds the text, at most 31 characters and at most size - 1) or
// 2 (Cancel, a closed window, or a dialog that could not open; name is
// unchanged). Fits hofSetNameDialog.
int nameDialog(char* name, int size);

// The pieces of nameDialog, for tools that picture the dialog while it is
// open. Open saves the screen and puts the dialog over it (1, or 0 after
// logging); each frame handles the input that came, draws and presents:
// 0 while the dialog stays open, else its result. Close puts the screen back.
int nameDialogOpen(const char* name, int size);
int nameDialogFrame();
void nameDialogClose();
// The edit field's text now.
const char* nameDialogText();

// Where the buttons are, as inclusive screen boxes, for tests and tools.
enum { NAMEDLG_BUTTON_OK = 0, NAMEDLG_BUTTON_CANCEL = 1 };
void nameDialogButtonBox(int button, int* left, int* top, int* right, int* bottom);
