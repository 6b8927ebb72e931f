// The preferences page: filled from the settings, saved back from the inputs.
#pragma once

class CHtmlView;

void FillPreferences(CHtmlView& view);
// Writes the page's state into the settings without further checks; an input
// the page cannot give counts as empty or unchecked.
void SavePreferences(CHtmlView& view);
