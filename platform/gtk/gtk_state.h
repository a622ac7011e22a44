// What the modules of the GTK layer share: the main window and its client area, the canvas that
// keeps the client area's pixels, the message queue of the pump and the modal-loop bookkeeping.
// Widget signals become Win32-numbered messages for the core's MainWindowProc; drawing goes into
// the canvas and reaches the screen through the client area's draw handler.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

namespace platform::gtk {

extern GtkWidget* MainWindow;  // null until opened and again once destroyed
extern GtkWidget* ClientArea;  // the drawing area under the menu bar

// Canvas (canvas.cpp).
void SizeForCells(int columns, int rows, int* width, int* height);  // in pixels of the screen font
void CreateCanvas(int width, int height);
bool ResizeCanvas(int width, int height);  // false when the size did not change
void DropCanvas();                         // with the caret: the window is gone
bool RepaintRequested();
gboolean DrawClientArea(GtkWidget* widget, cairo_t* cr, gpointer);
void RedrawWindowNow();  // the whole window from what it keeps, without waiting for the loop

// Message queue of the pump (event_pump.cpp): keys and commands wait here like posted messages.
void PostToMainWindow(unsigned message, uintptr_t wParam);
void DropPostedMessages();
gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer);
extern bool AcceleratorsLoaded;

// Modal loops (dialogs.cpp): while one runs, a pending repaint is delivered from an idle handler,
// as a Windows modal loop dispatches WM_PAINT to the main window.
bool InModalLoop();
void OfferPaintToModalLoop();

void Activate(GtkWidget* window);  // give it the keyboard, also where no window manager runs
gboolean ActivateWhenMapped(GtkWidget* window, GdkEvent*, gpointer);
GdkPixbuf* CreateWindowIcon();

}  // namespace platform::gtk
