# Tests of the generic controls.
keyloft_gui_test(report_list_test report_list_test.cpp)
keyloft_gui_test(pixmap_slider_test pixmap_slider_test.cpp)
keyloft_gui_test(color_button_test color_button_test.cpp)
keyloft_gui_test(link_label_test link_label_test.cpp)
