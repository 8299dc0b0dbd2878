// What the in-host render expects of the renderer's library: the render context, its messages,
// and where a render context comes from. The library itself is not part of the plug-in; these
// are the calls the plug-in makes, written as the plug-in needs them.
#pragma once

#include <cstddef>

#include "object/orvanehandle.h"

/// Reference counting of every object the renderer's library hands out.
class OrvaneObject {
 public:
  /// Frees an object inside the library that allocated it.
  typedef void (*DestroyFunction)(OrvaneObject* ob);

  /// Counts one more holder.
  virtual void IncRefCount() = 0;
  /// Counts one holder less; answers the count that is left (0: destroy the object).
  virtual long DecRefCount() = 0;
  /// The function that destroys the object once nobody holds it.
  virtual DestroyFunction GetDestroyFunction() = 0;

 protected:
  ~OrvaneObject() = default;
};

/// Kinds of the renderer's messages.
enum OrvaneMessageKind {
  ORVANE_MESSAGE_INFO = 0,                  ///< Information for the console.
  ORVANE_MESSAGE_ERROR = 1,                 ///< An error the user must learn of.
  ORVANE_MESSAGE_TONEMAPPING_FINISHED = 2,  ///< The tonemapped image asked for is ready.
};

/// One message of the renderer.
class OrvaneMessage : public OrvaneObject {
 public:
  /// `OrvaneMessageKind`.
  virtual int GetKind() = 0;
  /// The text, NUL-terminated UTF-8; valid while the message is held.
  virtual const char* GetText() = 0;

 protected:
  ~OrvaneMessage() = default;
};

/// A render context of the renderer: one scene being rendered. The calls come from the host's
/// render thread, and pause and resume also from the interface thread.
class OrvaneInterface : public OrvaneObject {
 public:
  /// Starts building the scene; called once as the render begins.
  virtual void StartBuildingScene() = 0;
  /// Sets a render option; the render sets 1 right after the start.
  virtual void SetOption(int option) = 0;
  /// Starts sampling once the scene is built.
  virtual void StartRendering() = 0;
  /// Samples per pixel so far; 0.0 while the scene is built or the renderer warms up.
  virtual double GetSamplesPerPixel() = 0;
  /// Stops sampling until `Resume`.
  virtual void Pause() = 0;
  /// Continues sampling after `Pause`.
  virtual void Resume() = 0;
  /// Adjusts the sampling after a resume; the render calls it with (0, 1.0).
  virtual void AdjustAfterResume(int mode, double factor) = 0;
  /// Starts tonemapping the current image; a message of kind
  /// `ORVANE_MESSAGE_TONEMAPPING_FINISHED` follows when it is ready.
  virtual void StartTonemapping() = 0;
  /// Width of the image in pixels.
  virtual int GetImageWidth() = 0;
  /// Height of the image in pixels.
  virtual int GetImageHeight() = 0;
  /// Copies the tonemapped image, 8-bit red, green and blue per pixel, row after row, into
  /// `buffer` of `size` bytes (width × height × 3).
  virtual void CopyTonemappedImage(unsigned char* buffer, size_t size) = 0;
  /// Applies one tonemapping setting: a NUL-terminated XML text with a "tonemapping",
  /// "white_point" or "layer_controls" element.
  virtual void UpdateTonemapping(const char* xml) = 0;
  /// Begins draining the pending messages.
  virtual void BeginMessageList() = 0;
  /// True when no message is left to take.
  virtual bool IsMessageListEmpty() = 0;
  /// Takes the next pending message.
  virtual OrvaneHandle<OrvaneMessage> TakeNextMessage() = 0;
  /// Ends draining the messages.
  virtual void EndMessageList() = 0;
  /// Ends sampling; called before the context is let go.
  virtual void Stop() = 0;

 protected:
  ~OrvaneInterface() = default;
};

/// Where the in-host render gets its render contexts: the place where a renderer library is
/// attached to the plug-in. It makes a context for a frame of the given size, with the scene
/// already handed to it, or an empty handle when it cannot.
class OrvaneContextFactory {
 public:
  virtual ~OrvaneContextFactory() = default;
  /// A new render context for a frame of `width` × `height` pixels, or an empty handle.
  virtual OrvaneHandle<OrvaneInterface> CreateRenderContext(int width, int height) = 0;
};
