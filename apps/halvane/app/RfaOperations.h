#pragma once
// halvane's operations on the viewer's windows: each fetches the focused
// image (or the given one), runs the computation of RfaParameters on it and
// sends the results back, with the settings of the record it is given.
//
// An operation never runs on the process-wide record (GetRfaParameters)
// directly: the window's slot copies it when the operation starts and hands
// the copy over, so edits made in the form while an operation waits for the
// viewer cannot change the values it works with. Operations that find
// values (AdjustScreen, UpdateMaskFromRegion) set them on the copy, and the
// slot hands those fields back.
//
// The operations that compute on an image fetch it with every pixel that is
// not a finite number (NaN or infinite) set to 0, and their operation log
// records how many infinite ones there were (the record "InfinitePixels",
// only when there were any). With no window focused, every operation on the
// focused image says "Please select image window" before it asks for one.
//
// An operation computes every result before it sends the first, and sends
// them as a whole (RfaSendWhole): a quit signal that came before stops it
// with nothing sent, one that comes during the sends lets them finish; a
// send that fails (a viewer paused, cancelled or gone) keeps the results and
// offers Retry, into the windows already made, or Discard.
//
// GUI thread only.

#include "apps/halvane/engine/RfaParameters.h"

#include <cstdint>
#include <functional>
#include <string>

class LwPluginFuncZyvra;
class QWidget;

// ---- Centre and masks -----------------------------------------------------
// The focused image shifted to the centre (RfaParameters::ShiftToCenter), in
// a new window with the source's keys, one more log, the screen circle and
// the fit circle.
void MoveToCenter(const RfaParameters& record, LwPluginFuncZyvra& client);
// The focused image window (else LwError "Please select image window"),
// fetched as the viewer holds it (NaN stays NaN), masked into a new window
// with the source's keys and one more log.
void MaskMcpDip(const RfaParameters& record, LwPluginFuncZyvra& client);
void MaskOutside(const RfaParameters& record, LwPluginFuncZyvra& client);
// MaskCx_, MaskCy_, MaskRx_, MaskRy_ of `record` from the single region of
// the focused window: its centre and (size - 1) / 2. Errors: "Please select
// image window" (no focused window), "Please make singe region for mask"
// (no region or several), "This is not vector" (a malformed id list),
// "Region is not found" (a negative region id), "Region is not a finite
// ellipse" (a centre or size that is not finite); the record is then
// unchanged.
void UpdateMaskFromRegion(RfaParameters& record, LwPluginFuncZyvra& client);

// ---- Backgrounds ----------------------------------------------------------
// "2) Remove BG": the fit (or RemoveBgShByDegree when MappingIsAzM2_ is
// false) of the focused image; the background and the image divided by it
// in two new windows with the keys and one more log. A cancelled fit sends
// nothing back.
void RemoveBgSh(const RfaParameters& record, LwPluginFuncZyvra& client,
                const RfaProgress& progress = nullptr);
// The degree-by-degree background (RfaParameters::BackgroundShByDegree),
// windows as RemoveBgSh.
void RemoveBgShByDegree(const RfaParameters& record, LwPluginFuncZyvra& client);
// "3) Remove Az. BG": background and ratio windows as RemoveBgSh.
void RemoveBgAzimuthal(const RfaParameters& record, LwPluginFuncZyvra& client);
// "Adjust Screen": Sx_, Sy_, Sr_ of `record` from the edge of the focused
// image and the movable circle (diameter 2 Sr_ - 1) drawn on it; with
// IsShowTmp_ also the clipped image in a new window. No edge: LwError
// "Adjust Screen found no screen edge in the image", the fields unchanged.
// Returns the number of infinite pixels, searched as pixels of 0 like NaN
// pixels (the operation has no log to record it).
int AdjustScreen(RfaParameters& record, LwPluginFuncZyvra& client, const RfaProgress& progress = nullptr);

// ---- Apply checked operations and series ----------------------------------
// "New Image (Apply checked operations)": the focused image window (else
// "Please select image window") into a new window, the fit's progress in a
// dialog whose Cancel ends it with nothing changed; for a series the user
// may choose to process every image (ProcessSeries).
void ApplyCheckedNewImage(const RfaParameters& record, QWidget* parent, LwPluginFuncZyvra& client);
// Every image of the series window `source` into a new series saved image
// by image in the folder the user chooses, with one progress dialog whose
// bar runs over the whole series (an image's fit moves it within that
// image's share) and whose Cancel stops between images, during the wait for
// an image's load, and during an image's fit (that image then gets no entry
// in the new series). So that no source image and no output is overwritten,
// an output folder that is the current image's folder is refused before the
// new series window is made, and an image is refused, before it is saved,
// when the output folder is its own folder, when it has no file name, or
// when an image before it had the same file name; the images saved before
// stay. The new series window is made with the first entry, once the first
// image has gone through the steps, so that settings the images refuse leave
// no empty series. Each entry (image, keys, file, renewed index) is saved
// whole or not at all; a quit signal stops the series as Cancel does. Every
// error names the image: "Image <k> of <n> of the series (<file>):\n" and
// the reason.
void ProcessSeries(const RfaParameters& record, QWidget* parent, LwPluginFuncZyvra& client,
                   std::int32_t source);
