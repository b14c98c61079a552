// Drawing canvas: a raster page of fixed pixel size shown in a window of its own,
// driven through immediate-mode free functions with integer pixel coordinates and a
// current drawing state (colours, line and fill style, text style, justification,
// current position).
//
// Coordinates are pixels: (0, 0) is the top-left corner, x grows to the right and y
// downward. Drawing outside the page is clipped silently.
//
// Colour values: 0 to 15 index the fixed 16-colour palette; any other value is a
// direct colour with red in bits 0-7, green in bits 8-15 and blue in bits 16-23 (the
// upper 8 bits are ignored when drawing). COLOR makes such values.
//
// Every drawing and state operation acts on the current window (the last one opened)
// and waits at most 5000 ms for that window's page lock, going ahead after that.
// Without a current window such an operation prints
// "Drawing operation was attempted when there was no current window." on standard
// error and ends the process with exit status 1.
//
// Without a display (DISPLAY unset or unreachable) windows still open off-screen:
// every operation works on the page and the images can still be saved.
#ifndef HELMERT2D_CANVAS_H
#define HELMERT2D_CANVAS_H

#include <climits>
#include <sstream>
#include <string>

// ---- Windows ----------------------------------------------------------------------

/// Opens a window whose drawable area is `width` by `height` pixels at screen
/// position (`left`, `top`) in pixels, makes it current and resets the drawing
/// state (graphdefaults), then paints the page black. With `dbflag` drawing goes to
/// a second page while page 0 is shown. With `closeflag` closing the window ends the
/// process with exit status 0; without it the close request is ignored.
/// Returns the window number (0 for the first) or -1 when the page cannot be made
/// (a message then goes to standard error).
int initwindow(int width, int height, const char* title = "", int left = 0, int top = 0,
               bool dbflag = false, bool closeflag = true);
/// Resets the drawing state of the current window to its values after initwindow.
void graphdefaults();
/// Number of the current window, -1 when there is none.
int getcurrentwindow();
/// Makes window `window` current; an unknown number is ignored.
void setcurrentwindow(int window);
/// Largest x and y of the current window's page: its width and height minus 1.
int getmaxx();
int getmaxy();
/// Widest and tallest page that fit on the screen in pixels: the screen's work area
/// minus a 3-pixel dialog frame on each side and a 19-pixel title bar. Without a
/// display the screen is taken to be 1024 by 768 (so 1018 and 743).
int getmaxwidth();
int getmaxheight();
/// True when the current window (or, before any window, the display) is shown on a
/// real display; false for off-screen pages.
bool canvas_has_display();

/// Close hook for a program writing a report: while held (the calls nest), a request
/// to close a window waits. canvas_close_release ends the hold; when the last hold is
/// released after a close was requested, standard output is flushed and the process
/// ends with exit status 0.
void canvas_close_hold();
void canvas_close_release();

/// Graphics error of the last operation that set one (-11: fill style out of range),
/// then resets it to 0.
int graphresult();

// ---- Colours ----------------------------------------------------------------------

/// The colour value of red, green and blue (each taken modulo 256): the first palette
/// index with that colour, else the direct colour with 0x03000000 or-ed in.
int COLOR(int red, int green, int blue);
/// The 24-bit colour 0xBBGGRR drawn for a colour value.
int converttorgb(int color);
/// Background colour: used by cleardevice, text boxes and pattern gaps.
void setbkcolor(int color);
int getbkcolor();
/// Current colour: the pen of lines and outlines and the colour of text.
void setcolor(int color);
int getcolor();

// ---- Drawing state and drawing -----------------------------------------------------

/// Line style 0 solid, 1 dotted (3 on, 4 off), 2 centre (3 on, 4 off, 7 on, 4 off),
/// 3 dashed (7 on, 4 off), 4 user pattern `upattern` (16 bits, most significant bit
/// first, one pixel each); `thickness` is the pen width in pixels.
void setlinestyle(int linestyle, unsigned upattern, int thickness);
/// Brush of fillpoly and bar: 0 solid background colour (taken now), 1 solid `color`,
/// 2 to 11 hatches and 8 by 8 patterns in `color` on the background colour.
/// Style 12 leaves the brush unchanged; other values also set graphresult to -11.
void setfillstyle(int pattern, int color);
/// Fills the whole page with the background colour and moves the current position to
/// (0, 0).
void cleardevice();
/// Line from (x1, y1) to (x2, y2) with the current pen and square ends.
void line(int x1, int y1, int x2, int y2);
/// Outline of the circle of `radius` pixels about (x, y).
void circle(int x, int y, int radius);
/// Closed polygon of `numpoints` vertices (x, y pairs in `polypoints`), filled with
/// the brush by the even-odd rule and outlined with the pen.
void fillpoly(int numpoints, const int* polypoints);
/// Fills columns left to right - 1 and rows top to bottom - 1 with the brush.
void bar(int left, int top, int right, int bottom);
/// Sets the current position.
void moveto(int x, int y);
int getx();
int gety();
/// Moves the origin to (left, top), clips to the inclusive rectangle when `clip` is
/// nonzero, and moves the current position to the new origin.
void setviewport(int left, int top, int right, int bottom, int clip);
/// The colour value (as COLOR gives it) of the pixel at (x, y) relative to the
/// viewport origin; 0 outside the page.
int getpixel(int x, int y);
/// Double buffering: the page drawn into and the page shown.
void setactivepage(int page);
void setvisualpage(int page);
void swapbuffers();

// ---- Text -------------------------------------------------------------------------

/// Font 0 to 10, direction 0 to 3 (quarter turns counter-clockwise), size 0 to 10.
void settextstyle(int font, int direction, int charsize);
/// Size-0 scaling: width times multx / divx and height times multy / divy (integer
/// quotients).
void setusercharsize(int multx, int divx, int multy, int divy);
/// Horizontal 0 left, 1 centre, 2 right; vertical 0 bottom, 1 baseline, 2 top.
void settextjustify(int horiz, int vert);
/// Draws `text` anchored at (x, y); the current position is unchanged.
void outtextxy(int x, int y, const char* text);
void outtextxy(int x, int y, const std::string& text);
/// Draws `text` anchored at the current position and moves it along the text.
void outtext(const char* text);
void outtext(const std::string& text);
/// Height and width in pixels of `text` in the current font.
int textheight(const char* text);
int textwidth(const char* text);

/// The canvas's text stream: insert numbers and texts, then hand it to outstreamxy.
extern std::ostringstream canvasout;
/// Draws the stream's text at (x, y) line by line (each newline moves down by the
/// height of "X") and empties the stream.
void outstreamxy(int x, int y, std::ostringstream& out = canvasout);

// ---- Images -----------------------------------------------------------------------

/// Saves a region of a window's page: columns left to right and rows top to bottom,
/// inclusive, clamped to the page plus one column and row beyond it (painted black).
/// The file is a 24-bit BMP, or a PNG when `filename` ends in ".png" (any case).
/// A null `filename` opens the save dialog (only with a display), which appends ".BMP"
/// to a name that has no two- or three-letter extension. `active` chooses
/// the page drawn into, otherwise the page shown; `window` -1 is the current window.
void writeimagefile(const char* filename = nullptr, int left = 0, int top = 0, int right = INT_MAX,
                    int bottom = INT_MAX, bool active = true, int window = -1);
/// Prints the region (clamped as for writeimagefile) `width_inches` wide with its
/// proportions kept, at `left_inches` from the left and `top_inches` from the top of
/// the printable area, below `title` (the window's title when null; none when empty).
/// With `pdf_file` the page is written to that PDF file (Letter paper) without a
/// dialog; otherwise the print dialog opens (only with a display).
void printimage(const char* title = nullptr, double width_inches = 7, double left_inches = 0.75,
                double top_inches = 0.75, int left = 0, int top = 0, int right = INT_MAX,
                int bottom = INT_MAX, bool active = true, int window = -1,
                const char* pdf_file = nullptr);

#endif  // HELMERT2D_CANVAS_H
