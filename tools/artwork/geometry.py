"""Where the window's controls fall on the background picture.

The main window is 594 x 603 pixels with its frame; under the window managers we run on, its
client area is 588 x 574. The background picture (800 x 782) is drawn centred in the client area
and shrunk, proportions kept, by

    s = min(client width / 800, client height / 782) = min(588 / 800, 574 / 782) = 0.73402

(never enlarged). Its top-left corner then lies at

    offset = ((588 - 800 s) / 2, (574 - 782 s) / 2) = (0.39, 0.00)

so a point (cx, cy) of the client area shows the picture's point ((cx - offset.x) / s,
(cy - offset.y) / s). The controls are placed in client coordinates; mapped through this, the
edit box (122, 336, 326 x 26) covers the picture's (165.7, 457.8) - (609.8, 493.2) and the search
button (223, 384, 119 x 46) covers (303.3, 523.2) - (465.4, 585.8).

The client area depends on the window manager's frame around the 594 x 603 window. Under
openbox (1-pixel borders and a 20-pixel title bar) it is 592 x 582: then s = min(592 / 800,
582 / 782) = 0.74, the offset is (0, 1.65), and the controls fall up to 6 picture pixels higher
than at 588 x 574. So each painted frame surrounds its control at both sizes: it is the smallest
rectangle that holds the control grown by FRAME_MARGIN client pixels at each of
FRAME_CLIENT_SIZES. At either size the frame's line then lies 4 to 9 client pixels outside the
control, and the glow around the line fills the gap.

The two button pictures are drawn at their own size (scale 1 in the client area): picture 2 with
its top-left corner on the back button's corner (-11, -8), picture 3 centred on the search button.
Their wood is sampled from the same planks as the background at the window's scale, so that the
grain runs on seamlessly from the background into the buttons.
"""

BACKGROUND_SIZE = (800, 782)
BACK_BUTTON_PICTURE_SIZE = (297, 180)
SEARCH_BUTTON_PICTURE_SIZE = (159, 59)
ICON_SIZE = 250
HICOLOR_SIZES = (48, 128, 256)

CLIENT_SIZE = (588, 574)

# Controls in client coordinates: left, top, width, height.
EDIT_BOX = (122, 336, 326, 26)
SEARCH_BUTTON = (223, 384, 119, 46)
BACK_BUTTON = (-11, -8, 113, 55)

# The client sizes at which the painted frames must surround their controls, and how far (in
# client pixels) at least each frame's line lies outside its control.
FRAME_CLIENT_SIZES = (CLIENT_SIZE, (592, 582))
FRAME_MARGIN = 4


def background_scale(client=CLIENT_SIZE, picture=BACKGROUND_SIZE):
    """The factor by which the window shrinks the background picture; at most 1."""
    return min(client[0] / picture[0], client[1] / picture[1], 1.0)


def background_offset(client=CLIENT_SIZE, picture=BACKGROUND_SIZE):
    """The client position of the shown background's top-left corner."""
    s = background_scale(client, picture)
    return ((client[0] - picture[0] * s) / 2, (client[1] - picture[1] * s) / 2)


def client_to_picture(point, client=CLIENT_SIZE):
    """The background picture's point that the client point shows."""
    s = background_scale(client)
    ox, oy = background_offset(client)
    return ((point[0] - ox) / s, (point[1] - oy) / s)


def picture_to_client(point, client=CLIENT_SIZE):
    """The client point at which the background picture's point is shown."""
    s = background_scale(client)
    ox, oy = background_offset(client)
    return (point[0] * s + ox, point[1] * s + oy)


def control_on_picture(control, margin=0.0, client=CLIENT_SIZE):
    """A control's rectangle grown by margin client pixels, as (left, top, right, bottom) in
    background-picture coordinates."""
    x, y, w, h = control
    left, top = client_to_picture((x - margin, y - margin), client)
    right, bottom = client_to_picture((x + w + margin, y + h + margin), client)
    return (left, top, right, bottom)


def frame_on_picture(control):
    """The painted frame around a control, as (left, top, right, bottom) in background-picture
    coordinates: it holds the control grown by FRAME_MARGIN at every one of FRAME_CLIENT_SIZES."""
    rects = [control_on_picture(control, FRAME_MARGIN, client) for client in FRAME_CLIENT_SIZES]
    return (min(r[0] for r in rects), min(r[1] for r in rects),
            max(r[2] for r in rects), max(r[3] for r in rects))


def search_picture_origin(control=SEARCH_BUTTON, picture=SEARCH_BUTTON_PICTURE_SIZE):
    """The client position of picture 3's top-left corner: centred on the search button."""
    x, y, w, h = control
    return (x + (w - picture[0]) / 2, y + (h - picture[1]) / 2)


def back_picture_origin(control=BACK_BUTTON):
    """The client position of picture 2's top-left corner: on the back button's corner."""
    return (control[0], control[1])
