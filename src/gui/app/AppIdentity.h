// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Names the running program for Qt: the application title "Veltravor" (the
// main window's caption, the caption of every message box) and the version.
// Called by the program entry right after the application object exists.
//
// The title is the application's name, and no display name is set: under X11
// and Wayland Qt appends a set display name to every top-level caption that
// does not end with it ("About program — Veltravor"), while every caption must
// read exactly as the program sets it. Without a display name,
// QApplication::applicationDisplayName() still answers the title.
void SetApplicationIdentity();
