/* The picture the fake camera streams, shared by the preload library (which
 * renders it) and the tests (which compute what they should have received).
 *
 * Design constraints:
 *  - B, G and R are different functions of x, y and the frame number, so a
 *    channel swap, a vertical flip, a one-pixel shift, a stride error or a
 *    stale frame all change the picture.
 *  - Each pixel is a slowly varying colour plus a grey "detail" term. Grey
 *    carries no chroma, so the fast-changing part survives YUYV's horizontal
 *    chroma subsampling and a YUYV round trip stays within a small tolerance
 *    while a one-pixel shift still moves the detail by far more than that.
 *  - Row 0, x < 64 carries the frame number as 32 black/white two-pixel bits
 *    (least significant first), so a reader can tell which frame it got.
 *    Two-pixel bits line up with YUYV macropixels and stay exact enough.
 *
 * Valid C and C++. */
#ifndef FAKECAM_PATTERN_H
#define FAKECAM_PATTERN_H

/* Largest per-channel difference between the pattern and what OpenCV's
 * COLOR_YUV2BGR_YUYV makes of the YUYV frames the fake camera sends. */
#define FAKECAM_YUYV_TOLERANCE 3

#define FAKECAM_FRAME_CODE_BITS 32

/* Triangle wave 0..223..0 over 512 steps: continuous, so neighbouring pixels
 * never jump, and free of divisions so rendering a frame stays cheap. */
static inline int fakecam_wave(unsigned t)
{
    unsigned v = (t & 256u) ? 255u - (t & 255u) : (t & 255u);
    return (int)((v * 7u) >> 3);
}

static inline void fakecam_pattern_bgr(unsigned frame, int width, int height, int x, int y,
                                       unsigned char bgr[3])
{
    (void)width;
    (void)height;
    if (y == 0 && x < 2 * FAKECAM_FRAME_CODE_BITS) {
        unsigned char level = ((frame >> (x / 2)) & 1u) ? 255 : 0;
        bgr[0] = bgr[1] = bgr[2] = level;
        return;
    }
    /* Colour part stays within 0..223 and the grey part within 0..31, so the
     * sum never clips (clipping would leak the grey detail into chroma). */
    int detail = (int)(((unsigned)x * 7u + (unsigned)y * 11u + frame * 13u) & 31u);
    bgr[0] = (unsigned char)(fakecam_wave((unsigned)x + frame * 2u) + detail);
    bgr[1] = (unsigned char)(fakecam_wave((unsigned)y * 3u + frame * 5u) + detail);
    bgr[2] = (unsigned char)(fakecam_wave((unsigned)(x / 2) + (unsigned)y * 2u + frame * 3u) +
                             detail);
}

/* Frame number encoded in row 0 of a BGR picture (as decoded by OpenCV). */
static inline unsigned fakecam_frame_number(const unsigned char *row0_bgr, int width)
{
    unsigned frame = 0;
    for (int bit = 0; bit < FAKECAM_FRAME_CODE_BITS && 2 * bit < width; ++bit) {
        const unsigned char *px = row0_bgr + 3 * (2 * bit);
        if (px[0] + px[1] + px[2] >= 3 * 128)
            frame |= 1u << bit;
    }
    return frame;
}

/* BT.601 limited range, the inverse of what OpenCV's YUV->BGR uses. The
 * +0x8000 offsets keep the sums non-negative before the shift. */
static inline void fakecam_bgr_to_yuv(const unsigned char bgr[3], int *y, int *u, int *v)
{
    int b = bgr[0], g = bgr[1], r = bgr[2];
    *y = ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
    *u = (-38 * r - 74 * g + 112 * b + 128 + 0x8000) >> 8;
    *v = (112 * r - 94 * g - 18 * b + 128 + 0x8000) >> 8;
}

/* One row of the pattern as YUYV (Y0 U Y1 V per pixel pair, chroma averaged
 * over the pair). width must be even; out holds 2 * width bytes. */
static inline void fakecam_pattern_yuyv_row(unsigned frame, int width, int height, int y,
                                            unsigned char *out)
{
    for (int x = 0; x + 1 < width; x += 2) {
        unsigned char left[3], right[3];
        int y0, u0, v0, y1, u1, v1;
        fakecam_pattern_bgr(frame, width, height, x, y, left);
        fakecam_pattern_bgr(frame, width, height, x + 1, y, right);
        fakecam_bgr_to_yuv(left, &y0, &u0, &v0);
        fakecam_bgr_to_yuv(right, &y1, &u1, &v1);
        out[2 * x + 0] = (unsigned char)y0;
        out[2 * x + 1] = (unsigned char)((u0 + u1 + 1) / 2);
        out[2 * x + 2] = (unsigned char)y1;
        out[2 * x + 3] = (unsigned char)((v0 + v1 + 1) / 2);
    }
}

#endif
