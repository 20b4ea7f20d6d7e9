#include "OpenglRender.h"

#include "AppGlobals.h"
#include "Clock.h"
#include "Log.h"
#include "NativeWindowFollower.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QOpenGLContext>
#include <QPainter>
#include <QTimer>

namespace {

const char* const kVertexShader =
    "attribute vec4 vPosition;\n"
    "attribute vec2 textureCoords;\n"
    "varying vec2 tc;\n"
    "void main() {\n"
    "    tc = textureCoords;\n"
    "    gl_Position = vPosition;\n"
    "}\n";

const char* const kFragmentShader =
    "#ifdef GL_ES\n"
    "precision highp float;\n"
    "#else\n"
    "#define highp\n"
    "#define mediump\n"
    "#define lowp\n"
    "#endif\n"
    "varying vec2 tc;\n"
    "uniform sampler2D yTexture;\n"
    "uniform sampler2D uTexture;\n"
    "uniform sampler2D vTexture;\n"
    "uniform int iYuvStyle;\n"
    "void main() {\n"
    "    vec3 yuv;\n"
    "    if (iYuvStyle == 0) {\n"
    "        yuv.x = texture2D(yTexture, tc).r - 0.063;\n"
    "        yuv.y = texture2D(uTexture, tc).r - 0.5;\n"
    "        yuv.z = texture2D(uTexture, tc).a - 0.5;\n"
    "    } else if (iYuvStyle == 1) {\n"
    "        yuv.x = texture2D(yTexture, tc).r - 0.063;\n"
    "        yuv.y = texture2D(uTexture, tc).r - 0.5;\n"
    "        yuv.z = texture2D(vTexture, tc).r - 0.5;\n"
    "    } else {\n"
    "        yuv.x = texture2D(yTexture, tc).r;\n"
    "        yuv.y = texture2D(uTexture, tc).r - 0.5;\n"
    "        yuv.z = texture2D(vTexture, tc).r - 0.5;\n"
    "    }\n"
    "    vec3 rgb = mat3(1.0, 1.0, 1.0, 0.0, -0.39465, 2.03211, 1.13983, -0.58060, 0.0) * yuv;\n"
    "    gl_FragColor = vec4(rgb, 1.0) * 1.15;\n"
    "}\n";

const GLfloat kVertices[] = {-1.0f, 1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f, -1.0f};
const GLfloat kTexCoords[] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f};

// Repaint period while pictures are shown, so that a stalled stream brings up
// the wait image. Once it is up the poll rests: the next picture repaints.
constexpr int WAIT_POLL_MS = 500;

bool Fits(const FrameBuffer& buffer, int offset, int bytes, int available)
{
    return offset >= 0 && bytes >= 0 && bytes <= available && offset + bytes <= buffer.planes.size();
}

}  // namespace

OpenglRender::OpenglRender(QWidget* parent)
    : QOpenGLWidget(parent)
{
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(Qt::black));
    setPalette(pal);
    setAutoFillBackground(true);
    setStyleSheet("QOpenGLWidget {border:0px solid red}");
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAttribute(Qt::WA_DontCreateNativeAncestors);

    m_waitLabel = new QLabel(this);
    m_waitLabel->setFixedSize(40, 40);
    // Over a GL pane every repaint of a child recomposes the whole top-level
    // window in GL, for each frame of the animation. With a native window of
    // its own and an opaque background the label's frames go to the screen
    // alone. The background is the picture beneath it (TakeWaitBackdrop), so
    // the label still looks transparent.
    m_waitLabel->setAttribute(Qt::WA_NativeWindow);
    m_waitLabel->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_waitLabel->setAutoFillBackground(true);
    new NativeWindowFollower(m_waitLabel);
    // Laid out while hidden, so that its backdrop is read where it will show.
    QSizePolicy policy = m_waitLabel->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_waitLabel->setSizePolicy(policy);
    m_waitMovie = new QMovie(AppDirPath() + "/Skin/wait.gif", QByteArray(), this);
    m_waitMovie->setScaledSize(QSize(32, 32));
    m_waitLabel->setMovie(m_waitMovie);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_waitLabel);
    m_waitLabel->hide();

    m_waitPoll = new QTimer(this);
    m_waitPoll->setInterval(WAIT_POLL_MS);
    connect(m_waitPoll, &QTimer::timeout, this, QOverload<>::of(&QWidget::update));
    // Emitted on the decode thread: the repaint must run queued on the GUI thread.
    connect(this, &OpenglRender::signalUpdateView, this, QOverload<>::of(&QWidget::update), Qt::QueuedConnection);
}

OpenglRender::~OpenglRender()
{
    // The context outlives this part of the object: never let it call back into us.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
    cleanup();
}

bool OpenglRender::IsWaitShown() const
{
    return !m_waitLabel->isHidden();
}

bool OpenglRender::IsReceiving() const
{
    const int64_t last = m_lastInputMs;
    return !m_stopped && last >= 0 && int64_t(Clock::TickMs()) - last <= WAIT_AFTER_MS;
}

void OpenglRender::InputFrame(const PC_FrameInfo* frame, int style)
{
    if (!frame)
        return;
    PlaneSource source;
    source.width = frame->nWidth;
    source.height = frame->nHeight;
    source.pitches[0] = frame->nYPitch;
    source.pitches[1] = frame->nUPitch;
    source.pitches[2] = frame->nVPitch;
    source.pitches[3] = frame->nAPitch;
    source.planes[0] = frame->pY;
    source.planes[1] = frame->pU;
    source.planes[2] = frame->pV;
    InputFrame(source, style);
}

void OpenglRender::InputFrame(const PlaneSource& frame, int style)
{
    if (!m_initialised || m_stopped)
        return;
    if (const char* why = PlanePacker::Reject(frame, style)) {
        // One line per 250 dropped pictures keeps a bad stream from flooding the log.
        if (m_dropped.fetch_add(1) % 250 == 0)
            LogPrint(LOG_GENERAL, "OpenglRender::InputFrame() picture %dx%d pitches %d/%d/%d dropped: %s",
                     frame.width, frame.height, frame.pitches[0], frame.pitches[1], frame.pitches[2], why);
        return;
    }
    FrameQueue::Buffer buffer = m_queue.BeginFill();
    if (!buffer)
        return;
    const bool packed = PlanePacker::Pack(frame, style, *buffer);
    m_queue.EndFill(buffer, packed, [this] {
        m_lastInputMs = int64_t(Clock::TickMs());
        emit signalUpdateView();
    });
}

void OpenglRender::SetStopRender(bool stop)
{
    m_stopped = stop;
    m_resumeOnInit = false;
    m_lastInputMs = -1;
    if (stop) {
        ShowWait(false);
        m_waitPoll->stop();
    } else {
        m_waitPoll->start();
    }
    m_queue.Discard();
    if (m_initialised) {
        makeCurrent();
        ClearToBlack();
        doneCurrent();
        update();
    }
}

void OpenglRender::SetDisplayFlag(int flag)
{
    m_displayFlag = flag;
    update();
}

void OpenglRender::cleanup()
{
    LogPrint(LOG_INFO, "#OpenglRender::cleanup enter");
    // A context is also dropped when the pane moves to another window; a pane
    // that was playing then goes on once its new context is set up.
    m_resumeOnInit = m_resumeOnInit || !m_stopped;
    m_stopped = true;
    if (context() && isValid()) {
        makeCurrent();
        ClearToBlack();
        if (m_textures[0])
            glDeleteTextures(3, m_textures);
        if (m_initialised) {
            m_initialised = false;
            glDeleteShader(m_vertexShader);
            glDeleteShader(m_fragmentShader);
            glDeleteProgram(m_program);
        }
        doneCurrent();
    }
    m_textures[0] = m_textures[1] = m_textures[2] = 0;
    m_vertexShader = m_fragmentShader = m_program = 0;
    m_initialised = false;
    LogPrint(LOG_INFO, "#OpenglRender::cleanup exit");
}

void OpenglRender::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_displayFlag = 1;
        update();
    }
}

void OpenglRender::paintEvent(QPaintEvent* event)
{
    // The picture and the frame lines are both drawn by paintGL into the framebuffer.
    QOpenGLWidget::paintEvent(event);
}

void OpenglRender::initializeGL()
{
    initializeOpenGLFunctions();
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    LogPrint(LOG_DEBUG0, "OpenglRender::initializeGL() GL version %s", version ? version : "");
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &OpenglRender::cleanup, Qt::DirectConnection);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    // A context made anew for a pane that keeps its size gets no resizeGL.
    if (!m_program)
        BuildShaders();
}

void OpenglRender::resizeGL(int width, int height)
{
    if (!m_program)
        BuildShaders();
    glViewport(0, 0, width, height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
}

GLuint OpenglRender::CompileShader(GLenum type, const char* source)
{
    GLuint shader = glCreateShader(type);
    if (!shader)
        return 0;
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char info[1024];
        glGetShaderInfoLog(shader, sizeof info, nullptr, info);
        LogPrint(LOG_MAJOR, "OpenglRender::CompileShader() shader type 0x%x failed: %s", type, info);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

void OpenglRender::DrainGlErrors(const char* call)
{
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        LogPrint(LOG_DEBUG0, "after %s() glError (0x%x)", call, error);
}

bool OpenglRender::BuildShaders()
{
    const struct { const char* name; GLenum id; } strings[] = {
        {"Version", GL_VERSION}, {"Vendor", GL_VENDOR}, {"Renderer", GL_RENDERER}, {"Extensions", GL_EXTENSIONS}};
    for (const auto& s : strings) {
        const char* value = reinterpret_cast<const char*>(glGetString(s.id));
        LogPrint(LOG_DEBUG0, "GL %s = %s", s.name, value ? value : "");
    }
    m_viewWidth = width();
    m_viewHeight = height();

    m_vertexShader = CompileShader(GL_VERTEX_SHADER, kVertexShader);
    m_fragmentShader = CompileShader(GL_FRAGMENT_SHADER, kFragmentShader);
    if (!m_vertexShader || !m_fragmentShader)
        return false;
    m_program = glCreateProgram();
    glAttachShader(m_program, m_vertexShader);
    DrainGlErrors("glAttachShader");
    glAttachShader(m_program, m_fragmentShader);
    DrainGlErrors("glAttachShader");
    glLinkProgram(m_program);
    GLint linked = 0;
    glGetProgramiv(m_program, GL_LINK_STATUS, &linked);
    if (!linked) {
        char info[1024];
        glGetProgramInfoLog(m_program, sizeof info, nullptr, info);
        LogPrint(LOG_MAJOR, "OpenglRender::BuildShaders() link failed: %s", info);
        glDeleteProgram(m_program);
        m_program = 0;
        return false;
    }
    m_positionLoc = glGetAttribLocation(m_program, "vPosition");
    m_texCoordLoc = glGetAttribLocation(m_program, "textureCoords");
    DrainGlErrors("glGetAttribLocation");

    glGenTextures(3, m_textures);
    for (GLuint texture : m_textures) {
        glBindTexture(GL_TEXTURE_2D, texture);
        DrainGlErrors("glBindTexture");
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        DrainGlErrors("glTexParameteri-1");
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        DrainGlErrors("glTexParameteri-2");
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        DrainGlErrors("glTexParameteri-3");
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        DrainGlErrors("glTexParameteri-4");
    }
    m_initialised = true;
    if (m_resumeOnInit) {
        m_resumeOnInit = false;
        m_stopped = false;
    }
    return true;
}

void OpenglRender::ClearToBlack()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void OpenglRender::ShowWait(bool show)
{
    if (show) {
        m_waitMovie->start();
        m_waitLabel->show();
    } else {
        m_waitMovie->stop();
        m_waitLabel->hide();
    }
}

void OpenglRender::paintGL()
{
    if (m_stopped) {
        ClearToBlack();
        DrawFrameLines();
        return;
    }
    const uint64_t now = Clock::TickMs();
    const bool drawn = m_queue.DrawFront([this](const FrameBuffer& buffer) { DrawBuffer(buffer); });
    if (drawn) {
        if (IsWaitShown())
            ShowWait(false);
        m_lastPictureMs = now;
        if (!m_waitPoll->isActive())
            m_waitPoll->start();
    } else if (!IsWaitShown() && now - m_lastPictureMs > uint64_t(WAIT_AFTER_MS)) {
        ShowWait(true);
        m_waitPoll->stop();
    }
    // The picture beneath may have changed with a resize.
    if (IsWaitShown())
        TakeWaitBackdrop();
    DrawFrameLines();
}

void OpenglRender::TakeWaitBackdrop()
{
    const qreal ratio = devicePixelRatioF();
    const QRect area = m_waitLabel->geometry();
    const int x = qRound(area.x() * ratio);
    const int y = qRound((height() - area.bottom() - 1) * ratio);   // GL rows run bottom up
    QImage patch(qRound(area.width() * ratio), qRound(area.height() * ratio), QImage::Format_RGBA8888);
    glReadPixels(x, y, patch.width(), patch.height(), GL_RGBA, GL_UNSIGNED_BYTE, patch.bits());
    // Without alpha: the label counts as opaque only with an opaque background.
    patch = patch.mirrored().convertToFormat(QImage::Format_RGB32);
    patch.setDevicePixelRatio(ratio);
    QPalette pal = m_waitLabel->palette();
    pal.setBrush(QPalette::Window, QBrush(patch));
    m_waitLabel->setPalette(pal);
}

void OpenglRender::UploadPlane(int unit, GLuint texture, const char* sampler, GLenum format, int width, int height,
                               const FrameBuffer& buffer, int offset)
{
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture);
    glUniform1i(glGetUniformLocation(m_program, sampler), unit);
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, format, GL_UNSIGNED_BYTE,
                 buffer.planes.constData() + offset);
}

void OpenglRender::DrawBuffer(const FrameBuffer& buffer)
{
    const int w = buffer.width;
    const int h = buffer.height;
    const int lumaBytes = w * h;
    const int chromaPixels = (w / 2) * (h / 2);
    const bool semiPlanar = buffer.style == FRAME_STYLE_SEMI_PLANAR;
    const bool planar = buffer.style == FRAME_STYLE_PLANAR || buffer.style == FRAME_STYLE_PLANAR_FULL;
    // Never read past what was packed: a buffer that does not hold its planes is skipped.
    bool fits = Fits(buffer, 0, lumaBytes, lumaBytes);
    if (semiPlanar)
        fits = fits && Fits(buffer, buffer.chromaOffset[0], 2 * chromaPixels, buffer.chromaBytes[0]);
    if (planar)
        fits = fits && Fits(buffer, buffer.chromaOffset[0], chromaPixels, buffer.chromaBytes[0]) &&
               Fits(buffer, buffer.chromaOffset[1], chromaPixels, buffer.chromaBytes[1]);
    if (!m_initialised || !fits || w <= 0 || h <= 0)
        return;

    ClearToBlack();
    glUseProgram(m_program);
    glVertexAttribPointer(GLuint(m_positionLoc), 2, GL_FLOAT, GL_FALSE, 0, kVertices);
    glEnableVertexAttribArray(GLuint(m_positionLoc));
    glVertexAttribPointer(GLuint(m_texCoordLoc), 2, GL_FLOAT, GL_FALSE, 0, kTexCoords);
    glEnableVertexAttribArray(GLuint(m_texCoordLoc));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    m_yuvStyle = buffer.style;

    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, m_textures[0]);
    glUniform1i(glGetUniformLocation(m_program, "iYuvStyle"), buffer.style);
    glUniform1i(glGetUniformLocation(m_program, "yTexture"), 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, w, h, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, buffer.planes.constData());
    if (semiPlanar) {
        UploadPlane(1, m_textures[1], "uTexture", GL_LUMINANCE_ALPHA, w / 2, h / 2, buffer, buffer.chromaOffset[0]);
    } else if (planar) {
        UploadPlane(1, m_textures[1], "uTexture", GL_LUMINANCE, w / 2, h / 2, buffer, buffer.chromaOffset[0]);
        UploadPlane(2, m_textures[2], "vTexture", GL_LUMINANCE, w / 2, h / 2, buffer, buffer.chromaOffset[1]);
    }
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableVertexAttribArray(GLuint(m_positionLoc));
    glDisableVertexAttribArray(GLuint(m_texCoordLoc));
    glUseProgram(0);
    glActiveTexture(GL_TEXTURE0);
}

void OpenglRender::DrawFrameLines()
{
    QPainter painter(this);
    if (!painter.isActive())
        return;
    painter.setPen(m_displayFlag ? Qt::red : Qt::black);
    const int w = width();
    const int h = height();
    painter.drawLine(1, 1, w - 1, 1);
    painter.drawLine(1, 1, 1, h - 1);
    painter.drawLine(w - 1, 1, w - 1, h - 1);
    painter.drawLine(1, h - 1, w - 1, h - 1);
}
