/* A libusb0.dll that lists a meter and opens it but lacks usb_close, as an
 * unrelated or damaged DLL of that name might: the program must not use any
 * of it (a handle it could never close would be worse than no meter). */
#include <lusb0_usb.h>

#include <string.h>

static struct usb_bus bus;
static struct usb_device meter;
static int handle;

__declspec(dllexport) void usb_init(void) {}

__declspec(dllexport) int usb_find_busses(void) { return 0; }

__declspec(dllexport) int usb_find_devices(void) {
    memset(&meter, 0, sizeof meter);
    meter.descriptor.idVendor = 0x16C0;
    meter.descriptor.idProduct = 0x05DF;
    meter.bus = &bus;
    bus.devices = &meter;
    return 1;
}

__declspec(dllexport) struct usb_bus *usb_get_busses(void) { return &bus; }

__declspec(dllexport) usb_dev_handle *usb_open(struct usb_device *dev) {
    return dev == &meter ? (usb_dev_handle *)&handle : NULL;
}

__declspec(dllexport) int usb_control_msg(usb_dev_handle *dev, int requesttype, int request,
                                          int value, int index, char *bytes, int size, int timeout) {
    (void)dev, (void)requesttype, (void)request, (void)value, (void)index, (void)timeout;
    memset(bytes, 0, (size_t)size);
    return size;
}
