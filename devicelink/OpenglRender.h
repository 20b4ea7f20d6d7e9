#pragma once

#include "FrameQueue.h"
#include "PlanePacker.h"

#include "PlayCtrlTypes.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <atomic>
#include <cstdint>

class QLabel;
class QMovie;
class QTimer;

// Widget that shows a device's live video. The play library's decode thread
// hands it decoded YUV pictures (InputFrame); the GUI thread uploads the oldest
// unshown one as luminance textures and converts it to RGB in a fragment shader.
// A one-pixel frame line shows whether the pane is selected; after 3000 ms
// without a picture an animated wait image appears.
class OpenglRender : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT

public:
    static constexpr int WAIT_AFTER_MS = 3000;

    explicit OpenglRender(QWidget* parent = nullptr);
    ~OpenglRender() override;

    // Decode thread. style: FRAME_STYLE_SEMI_PLANAR or FRAME_STYLE_PLANAR.
    // Ignored while not initialised, while stopped, or with a null frame.
    void InputFrame(const PC_FrameInfo* frame, int style);
    void InputFrame(const PlaneSource& frame, int style);
    void SetStopRender(bool stop);
    void SetDisplayFlag(int flag);

    bool IsStopped() const { return m_stopped; }
    bool IsInitialised() const { return m_initialised; }
    int DisplayFlag() const { return m_displayFlag; }
    int CurrentYuvStyle() const { return m_yuvStyle; }
    bool IsWaitShown() const;
    // True while a stream feeds the pane: a picture came in since rendering
    // last started or stopped, no more than WAIT_AFTER_MS ago.
    bool IsReceiving() const;

signals:
    void signalUpdateView();

public slots:
    void cleanup();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    bool BuildShaders();
    GLuint CompileShader(GLenum type, const char* source);
    void DrainGlErrors(const char* call);
    void DrawBuffer(const FrameBuffer& buffer);
    void UploadPlane(int unit, GLuint texture, const char* sampler, GLenum format, int width, int height,
                     const FrameBuffer& buffer, int offset);
    void DrawFrameLines();
    void ClearToBlack();
    void ShowWait(bool show);
    void TakeWaitBackdrop();

    std::atomic<bool> m_stopped{true};
    std::atomic<bool> m_initialised{false};
    bool m_resumeOnInit = false;    // the context was lost while playing
    int m_viewWidth = 0;
    int m_viewHeight = 0;
    int m_yuvStyle = FRAME_STYLE_PLANAR;
    GLuint m_vertexShader = 0;
    GLuint m_fragmentShader = 0;
    GLuint m_program = 0;
    GLint m_positionLoc = -1;
    GLint m_texCoordLoc = -1;
    GLuint m_textures[3] = {0, 0, 0};    // Y, U, V
    int m_displayFlag = 0;
    FrameQueue m_queue;
    QLabel* m_waitLabel = nullptr;
    QMovie* m_waitMovie = nullptr;
    QTimer* m_waitPoll = nullptr;
    uint64_t m_lastPictureMs = 0;
    std::atomic<int64_t> m_lastInputMs{-1};    // tick of the last picture queued; -1: none since start or stop
    std::atomic<unsigned> m_dropped{0};
};
