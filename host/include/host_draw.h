// The host's side of views: what the embedding program (the runner, a test) sets and reads about
// a view and what was drawn into it. The plug-in never includes this header.
#pragma once

#include <vector>

#include "c4d_basedraw.h"

class BaseDocument;

namespace host {

/// Everything drawn into `bd` since it was made or last cleared, in order.
std::vector<DrawRecord> DrawRecords(const BaseDraw* bd);
/// Forgets what was drawn into `bd`.
void ClearDrawRecords(BaseDraw* bd);
/// Sets the view's pixel rectangle (left, top, right, bottom, inclusive).
void SetViewFrame(BaseDraw* bd, LONG left, LONG top, LONG right, LONG bottom);
/// Fixes what `GetSafeFrame` answers instead of working it out from the render data.
void SetSafeFrame(BaseDraw* bd, LONG from, LONG to, LONG orientation);
/// Lets `GetSafeFrame` work the safe frame out again.
void ClearSafeFrame(BaseDraw* bd);
/// Redraws the document into `bd` (the document's active view when null): calls the drawing
/// callback of every plug-in tag on every object, in tree order. Answers the number of tags that
/// reported a failure.
LONG DrawDocument(BaseDocument* doc, BaseDraw* bd = nullptr);

}  // namespace host
