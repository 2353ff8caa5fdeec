#pragma once
#include <cstdint>
#include <memory>
#include <string>

class Animation;
class AnimationSet;
class Serializer;

// A widget's key-frame motion: an animation file, the track of it the widget follows, and the
// animation being played. Playing moves and turns the widget from where it stood when the
// animation started.
class WidgetMotion
{
public:
    // Where the widget stands: its top-left corner (GUI units) and its turn (radians).
    struct Pose
    {
        float mX = 0.0f;
        float mY = 0.0f;
        float mRotation = 0.0f;
    };

    WidgetMotion();
    ~WidgetMotion();
    WidgetMotion(const WidgetMotion&) = delete;
    WidgetMotion& operator=(const WidgetMotion&) = delete;

    void SetFile(std::string file, int32_t pathIndex);
    // The "AnimationFile" and "PathIndex" fields.
    void Serialize(Serializer& s);
    // Loads the file once; false when there is none or it holds no animation. What is missing
    // is logged once, naming the widget.
    bool Load(const std::string& widget);
    // The named animation when the file has it on the widget's track, or null (logged once).
    const Animation* Find(const std::string& name, const std::string& widget);
    bool IsPlaying() const { return mPlaying != nullptr; }
    // Where the animation being played started.
    const Pose& GetBase() const { return mBase; }
    void Start(const Animation& animation, const Pose& from);
    // Advances the animation being played; false when none is. The last step lands on its end
    // and stops it.
    bool Step(float dt, Pose& out);

private:
    std::string mFile;
    int32_t mPathIndex = 0;
    bool mWarned = false;
    std::unique_ptr<AnimationSet> mAnimations;
    const Animation* mPlaying = nullptr;
    float mTime = 0.0f;
    uint32_t mCursor = 0;
    Pose mBase;
};
