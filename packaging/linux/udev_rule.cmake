# The udev rule that gives the user at the local seat access to the device's
# hidraw nodes. systemd's 73-seat-late.rules turns the uaccess tag into an ACL
# for the logged-in user, so the rule file must sort before it.

# trelkey_udev_rule_text(<out_var> <vendor hex> <product hex>)
# The IDs come as trelkey_usb_id() gives them, four hex digits; udev compares
# them with the sysfs attributes as text, which are lower-case.
function(trelkey_udev_rule_text out_var vendor product)
  string(TOLOWER "${vendor}" vendor_digits)
  string(TOLOWER "${product}" product_digits)
  string(CONCAT text
    "# trelkey: give the user at the local seat access to the trigger device's\n"
    "# hidraw nodes (${vendor_digits}:${product_digits}), so trelkey runs without root.\n"
    "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"${vendor_digits}\", ATTRS{idProduct}==\"${product_digits}\", TAG+=\"uaccess\"\n")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()
